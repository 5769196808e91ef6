#include "ChildProcess.h"

#include "RunProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <thread>

ChildProcess::~ChildProcess()
{
    if (Process > 0)
        Stop(SIGKILL, std::chrono::seconds(5));
    if (OutFd >= 0)
        ::close(OutFd);
    if (ErrFd >= 0)
        ::close(ErrFd);
}

bool ChildProcess::Start(const std::vector<std::string>& argv)
{
    int out[2];
    int err[2];
    if (argv.empty() || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
        return false;
    Process = ::fork();
    if (Process == 0) {
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        const int null = ::open("/dev/null", O_RDONLY);
        ::dup2(null, 0);
        ExecChild(argv);
    }
    ::close(out[1]);
    ::close(err[1]);
    OutFd = out[0];
    ErrFd = err[0];
    ::fcntl(ErrFd, F_SETFL, O_NONBLOCK);
    return Process > 0;
}

std::string ChildProcess::ReadLine(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const std::size_t end = Out.find('\n');
        if (end != std::string::npos) {
            std::string line = Out.substr(0, end);
            Out.erase(0, end + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd fd{OutFd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&fd, 1, static_cast<int>(left.count())) <= 0)
            return {};
        std::array<char, 4096> buffer;
        const ssize_t n = ::read(OutFd, buffer.data(), buffer.size());
        if (n <= 0)
            return {};
        Out.append(buffer.data(), static_cast<std::size_t>(n));
    }
}

void ChildProcess::Drain()
{
    std::array<char, 4096> buffer;
    ssize_t n;
    while ((n = ::read(ErrFd, buffer.data(), buffer.size())) > 0)
        Err.append(buffer.data(), static_cast<std::size_t>(n));
}

int ChildProcess::Wait(std::chrono::milliseconds timeout)
{
    if (Process <= 0)
        return -1;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    while (::waitpid(Process, &status, WNOHANG) == 0) {
        Drain();
        if (std::chrono::steady_clock::now() >= deadline)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Drain();
    Process = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int ChildProcess::Stop(int signal, std::chrono::milliseconds timeout)
{
    if (Process <= 0)
        return -1;
    ::kill(Process, signal);
    const int code = Wait(timeout);
    if (code < 0 && Process > 0) {
        ::kill(Process, SIGKILL);
        Wait(std::chrono::seconds(5));
    }
    return code;
}
