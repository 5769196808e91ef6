#include "NewFilePublisher.h"

#include "constante.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr char TemporaryTemplate[] = "/.run-report-XXXXXX";
// Reports may hold the paths and texts of an update: they are the user's own.
constexpr mode_t FileMode = S_IRUSR | S_IWUSR;

std::string Reason(int error) { return std::strerror(error); }

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : path.substr(0, slash);
}

// Errors that mean "this file system cannot do that", not "that name is taken":
// the next way is tried.
bool NotSupported(int error)
{
    return error == EPERM || error == ENOTSUP || error == EOPNOTSUPP || error == ENOSYS || error == EINVAL ||
           error == EMLINK || error == EXDEV;
}

// Writes everything and flushes it to the device; 0 or errno.
int WriteAll(int fd, const std::string& content)
{
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t written = ::write(fd, content.data() + done, content.size() - done);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        done += static_cast<std::size_t>(written);
    }
    return ::fsync(fd) == 0 ? 0 : errno;
}

// A complete temporary file in the folder; 0 or errno.
int WriteTemporary(const std::string& folder, const std::string& content, std::string& name)
{
    std::string pattern = folder + TemporaryTemplate;
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        return errno;
    int error = WriteAll(fd, content);
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0) {
        ::unlink(pattern.c_str());
        return error;
    }
    name = pattern;
    return 0;
}

}  // namespace

TNewFilePublisher::TNewFilePublisher()
    : Link([](const std::string& from, const std::string& to) { return ::link(from.c_str(), to.c_str()) == 0 ? 0 : errno; }),
      RenameNoReplace([](const std::string& from, const std::string& to) {
          return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0 ? 0 : errno;
      }),
      CreateExclusive([](const std::string& to, const std::string& content) {
          const int fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, FileMode);
          if (fd < 0)
              return errno;
          int error = WriteAll(fd, content);
          if (::close(fd) != 0 && error == 0)
              error = errno;
          if (error != 0)
              ::unlink(to.c_str());
          return error;
      })
{
}

int TNewFilePublisher::Place(const std::string& temporary, const std::string& path, const std::string& content,
                             bool& moved) const
{
    moved = false;
    int error = Link(temporary, path);
    if (NotSupported(error)) {
        error = RenameNoReplace(temporary, path);
        moved = error == 0;
        if (NotSupported(error))
            error = CreateExclusive(path, content);
    }
    return error;
}

bool TNewFilePublisher::Publish(const std::string& base, const std::vector<TFile>& files, std::vector<std::string>& paths,
                                std::string& failure) const
{
    const std::string folder = FolderOf(base);
    std::vector<std::string> temporaries;
    bool done = false;
    for (const TFile& file : files) {
        std::string temporary;
        if (const int error = WriteTemporary(folder, file.Content, temporary); error != 0) {
            failure = folder + constante::ReportReasonSeparator + Reason(error);
            break;
        }
        temporaries.push_back(temporary);
    }
    std::vector<bool> moved(files.size(), false);
    for (int suffix = 1; temporaries.size() == files.size() && !done && failure.empty(); ++suffix) {
        if (suffix > MaxSuffix) {
            failure = base + constante::ReportReasonSeparator + constante::ReportNoFreeName;
            break;
        }
        const std::string name = suffix == 1 ? base : base + '-' + std::to_string(suffix);
        paths.clear();
        int error = 0;
        for (std::size_t index = 0; index < files.size() && error == 0; ++index) {
            const std::string path = name + files[index].Extension;
            bool wasMoved = false;
            error = Place(temporaries[index], path, files[index].Content, wasMoved);
            moved[index] = wasMoved;
            if (error == 0)
                paths.push_back(path);
            else if (error != EEXIST)
                failure = path + constante::ReportReasonSeparator + Reason(error);
        }
        done = error == 0;
        if (!done) {
            // Those given this name already go again; a renamed file returns to its temporary name.
            for (std::size_t index = 0; index < paths.size(); ++index) {
                if (moved[index])
                    ::rename(paths[index].c_str(), temporaries[index].c_str());
                else
                    ::unlink(paths[index].c_str());
                moved[index] = false;
            }
            paths.clear();
        }
    }
    for (std::size_t index = 0; index < temporaries.size(); ++index)
        if (!moved[index])
            ::unlink(temporaries[index].c_str());
    return done;
}
