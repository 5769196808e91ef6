// A program running beside the test (a simulated card, say), with bounded waits.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include <sys/types.h>

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();  // kills the process if it still runs
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Start(const std::vector<std::string>& argv);
    // The next line of its standard output, without the line end; empty when
    // none came before the deadline or the output ended.
    std::string ReadLine(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Sends the signal and waits for the exit; the exit code, 128 + the signal
    // number when a signal ended it, or -1 when it did not end in time (it is
    // then killed).
    int Stop(int signal, std::chrono::milliseconds timeout = std::chrono::seconds(10));
    int Wait(std::chrono::milliseconds timeout);
    // Standard error collected so far (read when the process has ended).
    const std::string& Errors() const { return Err; }
    pid_t Pid() const { return Process; }

private:
    void Drain();

    pid_t Process = -1;
    int OutFd = -1;
    int ErrFd = -1;
    std::string Out;
    std::string Err;
};
