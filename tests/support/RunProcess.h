// Runs a program as a child process with a deadline, capturing its output.
#pragma once

#include <chrono>
#include <string>
#include <vector>

struct ProcessResult {
    int ExitCode = -1;      // exit status, or 128 + signal number when killed by a signal
    bool TimedOut = false;  // the deadline passed and the process was killed
    std::string Out;
    std::string Err;
};

// user: when not negative, the program runs as that user and its own group
// (which only root may ask for); it starts without supplementary groups.
ProcessResult RunProcess(const std::vector<std::string>& argv,
                         std::chrono::milliseconds timeout = std::chrono::seconds(30),
                         const std::string& input = {}, int user = -1);

// A program's output at its line breaks, and a search in it.
std::vector<std::string> SplitLines(const std::string& text);
bool Contains(const std::string& text, const std::string& part);

// In a forked child: becomes the program argv[0] with its arguments, or exits
// with 127 when it cannot.
[[noreturn]] void ExecChild(const std::vector<std::string>& argv);
