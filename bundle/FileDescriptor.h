// A file descriptor closed when it goes.
#pragma once

#include <unistd.h>

#include <utility>

class TFileDescriptor {
public:
    explicit TFileDescriptor(int fd) : Fd(fd) {}
    ~TFileDescriptor()
    {
        if (Fd >= 0)
            ::close(Fd);
    }
    TFileDescriptor(const TFileDescriptor&) = delete;
    TFileDescriptor& operator=(const TFileDescriptor&) = delete;

    int Get() const { return Fd; }
    // False, with errno, when the close reports a failed write.
    bool Close() { return ::close(std::exchange(Fd, -1)) == 0; }

private:
    int Fd;
};
