#include "MeasuredProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
// The header of this C library release declares its functions without C linkage.
extern "C" {
#include <sys/pidfd.h>
}
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

double Seconds(const timeval& time) { return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6; }

void CloseFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

}  // namespace

MeasuredProcess::~MeasuredProcess()
{
    if (Pid > 0) {
        ::kill(Pid, SIGKILL);
        Reap();
    }
    CloseFd(PidFd);
    CloseFd(OutFd);
    CloseFd(ErrFd);
}

bool MeasuredProcess::Start(const std::vector<std::string>& argv, const std::vector<std::string>& environment)
{
    int out[2];
    int err[2];
    if (argv.empty() || ::pipe2(out, O_CLOEXEC) != 0)
        return false;
    if (::pipe2(err, O_CLOEXEC) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        return false;
    }
    StartedAt = Clock::now();
    Pid = ::fork();
    if (Pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        const int null = ::open("/dev/null", O_RDONLY);
        ::dup2(null, STDIN_FILENO);
        for (const std::string& entry : environment)
            ::putenv(const_cast<char*>(entry.c_str()));
        std::vector<char*> args;
        for (const std::string& arg : argv)
            args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    OutFd = out[0];
    ErrFd = err[0];
    if (Pid < 0)
        return false;
    ::fcntl(OutFd, F_SETFL, O_NONBLOCK);
    ::fcntl(ErrFd, F_SETFL, O_NONBLOCK);
    PidFd = ::pidfd_open(Pid, 0);
    if (PidFd < 0) {
        ::kill(Pid, SIGKILL);
        Reap();
        return false;
    }
    return true;
}

bool MeasuredProcess::NextLine(std::string& line, std::chrono::milliseconds timeout)
{
    const Clock::time_point deadline = Clock::now() + timeout;
    while (Taken == Output.size()) {
        if (OutFd < 0 || !Pump(deadline))
            return false;
    }
    line = Output[Taken++].Text;
    return true;
}

bool MeasuredProcess::Finish(std::chrono::milliseconds timeout)
{
    const Clock::time_point deadline = Clock::now() + timeout;
    while (Pid > 0) {
        if (!Pump(deadline)) {
            ::kill(Pid, SIGKILL);
            Reap();
            return false;
        }
    }
    return true;
}

void MeasuredProcess::Signal(int signal) const
{
    if (Pid > 0)
        ::pidfd_send_signal(PidFd, signal, nullptr, 0);
}

double MeasuredProcess::CpuSecondsNow() const
{
    // Fields 14 and 15 of /proc/PID/stat, after the command name in parentheses.
    std::ifstream stat("/proc/" + std::to_string(Pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos)
        return 0.0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    unsigned long long user = 0;
    unsigned long long system = 0;
    for (int index = 3; index <= 15 && fields >> field; ++index) {
        if (index == 14)
            user = std::strtoull(field.c_str(), nullptr, 10);
        if (index == 15)
            system = std::strtoull(field.c_str(), nullptr, 10);
    }
    return static_cast<double>(user + system) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

double MeasuredProcess::CpuSeconds() const { return Seconds(Usage.ru_utime) + Seconds(Usage.ru_stime); }

bool MeasuredProcess::Pump(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0)
        return false;
    std::array<pollfd, 3> waits = {{{OutFd, POLLIN, 0}, {ErrFd, POLLIN, 0}, {PidFd, POLLIN, 0}}};
    const int ready = ::poll(waits.data(), waits.size(), static_cast<int>(left.count()));
    if (ready < 0 && errno != EINTR)
        return false;
    if (waits[0].revents != 0)
        Drain(OutFd, true);
    if (waits[1].revents != 0)
        Drain(ErrFd, false);
    if (waits[2].revents != 0) {
        EndedAt = Clock::now();
        Reap();
        Drain(OutFd, true);
        Drain(ErrFd, false);
    }
    return true;
}

void MeasuredProcess::Drain(int& fd, bool output)
{
    std::array<char, 8192> buffer;
    while (fd >= 0) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n == 0)
            CloseFd(fd);
        if (n <= 0)
            return;
        if (!output) {
            ErrorText.append(buffer.data(), static_cast<std::size_t>(n));
            continue;
        }
        const Clock::time_point now = Clock::now();
        Partial.append(buffer.data(), static_cast<std::size_t>(n));
        for (std::size_t end; (end = Partial.find('\n')) != std::string::npos;) {
            Output.push_back({Partial.substr(0, end), now});
            Partial.erase(0, end + 1);
        }
    }
}

void MeasuredProcess::Reap()
{
    int status = 0;
    if (::wait4(Pid, &status, 0, &Usage) == Pid)
        Code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    Pid = -1;
    CloseFd(PidFd);
}
