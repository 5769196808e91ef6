// A program run as a child process and measured from outside: the time each
// line of its standard output arrived, its wall time, and at its end the CPU
// time and peak memory the kernel accounted to it. Every wait is bounded.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

class MeasuredProcess {
public:
    using Clock = std::chrono::steady_clock;
    struct Line {
        std::string Text;
        Clock::time_point At;
    };

    MeasuredProcess() = default;
    ~MeasuredProcess();  // kills the process if it still runs
    MeasuredProcess(const MeasuredProcess&) = delete;
    MeasuredProcess& operator=(const MeasuredProcess&) = delete;

    // environment: "NAME=value" entries added to the program's own.
    bool Start(const std::vector<std::string>& argv, const std::vector<std::string>& environment = {});
    // The next line of standard output not taken yet; false when none came in time.
    bool NextLine(std::string& line, std::chrono::milliseconds timeout);
    // Waits for the end; false when it did not end in time (it is then killed).
    bool Finish(std::chrono::milliseconds timeout);
    void Signal(int signal) const;
    // CPU seconds (user + system) used so far, read while the process runs.
    double CpuSecondsNow() const;

    bool Running() const { return Pid > 0; }
    // Exit code, or 128 + the signal that ended it.
    int ExitCode() const { return Code; }
    const std::vector<Line>& Lines() const { return Output; }
    const std::string& Errors() const { return ErrorText; }
    Clock::time_point Started() const { return StartedAt; }
    Clock::time_point Ended() const { return EndedAt; }
    double CpuSeconds() const;
    // Peak resident memory in bytes.
    std::size_t PeakMemory() const { return static_cast<std::size_t>(Usage.ru_maxrss) * 1024; }

private:
    // Reads what has arrived, waiting at most until the deadline; false once the
    // deadline has passed.
    bool Pump(Clock::time_point deadline);
    // Reads what is there; the end of the output closes fd.
    void Drain(int& fd, bool output);
    void Reap();

    pid_t Pid = -1;
    int PidFd = -1;
    int OutFd = -1;
    int ErrFd = -1;
    std::string Partial;
    std::vector<Line> Output;
    std::size_t Taken = 0;
    std::string ErrorText;
    rusage Usage{};
    int Code = -1;
    Clock::time_point StartedAt;
    Clock::time_point EndedAt;
};
