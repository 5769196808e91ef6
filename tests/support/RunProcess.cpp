#include "RunProcess.h"

#include <sstream>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace {

struct Pipe {
    int Read = -1;
    int Write = -1;
    bool Open() { int fds[2]; if (::pipe2(fds, O_CLOEXEC) != 0) return false; Read = fds[0]; Write = fds[1]; return true; }
};

void CloseFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

}  // namespace

void ExecChild(const std::vector<std::string>& argv)
{
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
}

ProcessResult RunProcess(const std::vector<std::string>& argv, std::chrono::milliseconds timeout,
                         const std::string& input, int user)
{
    ProcessResult result;
    Pipe in, out, err;
    if (argv.empty() || !in.Open() || !out.Open() || !err.Open())
        return result;

    // Looked up before the fork: the child only makes system calls.
    const passwd* account = user >= 0 ? ::getpwuid(static_cast<uid_t>(user)) : nullptr;
    const gid_t group = account != nullptr ? account->pw_gid : static_cast<gid_t>(user);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(in.Read, 0);
        ::dup2(out.Write, 1);
        ::dup2(err.Write, 2);
        if (user >= 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(group) != 0 || ::setuid(static_cast<uid_t>(user)) != 0))
            ::_exit(127);
        ExecChild(argv);
    }
    CloseFd(in.Read);
    CloseFd(out.Write);
    CloseFd(err.Write);
    if (!input.empty())
        (void)!::write(in.Write, input.data(), input.size());
    CloseFd(in.Write);

    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::array<char, 65536> buffer;
    while (out.Read >= 0 || err.Read >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.TimedOut = true;
            ::kill(pid, SIGKILL);
            break;
        }
        std::array<pollfd, 2> fds{{{out.Read, POLLIN, 0}, {err.Read, POLLIN, 0}}};
        if (::poll(fds.data(), fds.size(), static_cast<int>(left.count())) < 0 && errno != EINTR)
            break;
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            const ssize_t n = ::read(fds[i].fd, buffer.data(), buffer.size());
            if (n > 0)
                (i == 0 ? result.Out : result.Err).append(buffer.data(), static_cast<std::size_t>(n));
            else
                CloseFd(i == 0 ? out.Read : err.Read);
        }
    }
    CloseFd(out.Read);
    CloseFd(err.Read);

    int status = 0;
    ::waitpid(pid, &status, 0);
    result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
