#include "PtyLink.h"

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

namespace {

constexpr std::uint32_t DefaultBaud = 9600;

std::uint32_t BaudOf(speed_t speed)
{
    static constexpr std::array<std::pair<speed_t, std::uint32_t>, 12> Speeds = {{
        {B1200, 1200}, {B2400, 2400}, {B4800, 4800}, {B9600, 9600}, {B19200, 19200}, {B38400, 38400},
        {B57600, 57600}, {B115200, 115200}, {B230400, 230400}, {B460800, 460800}, {B500000, 500000},
        {B921600, 921600},
    }};
    for (const auto& [code, baud] : Speeds)
        if (code == speed)
            return baud;
    return DefaultBaud;
}

}  // namespace

PtyLink::PtyLink(SimulatedCard& card, bool pacing) : CardLink(card), Pacing(pacing) {}

PtyLink::~PtyLink()
{
    ReadNotifier.reset();
    WriteNotifier.reset();
    Pacer.reset();
    if (Master >= 0)
        ::close(Master);
    if (Slave >= 0)
        ::close(Slave);
}

bool PtyLink::Start(std::string& error)
{
    termios raw{};
    ::cfmakeraw(&raw);
    ::cfsetspeed(&raw, B9600);
    raw.c_cflag |= CLOCAL | CREAD;
    if (::openpty(&Master, &Slave, nullptr, &raw, nullptr) != 0) {
        error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    SlavePath = ::ttyname(Slave);
    ::fcntl(Master, F_SETFL, ::fcntl(Master, F_GETFL) | O_NONBLOCK);
    ::fcntl(Master, F_SETFD, FD_CLOEXEC);
    ::fcntl(Slave, F_SETFD, FD_CLOEXEC);

    if (Pacing) {
        Pacer = std::make_unique<WirePacer>([this](const std::string& bytes) { ToCard(bytes); },
                                            [this](const std::string& bytes) { Write(bytes); });
        if (!Pacer->IsValid()) {
            error = "cannot create the pacing timer";
            return false;
        }
    }
    ReadNotifier = std::make_unique<QSocketNotifier>(Master, QSocketNotifier::Read);
    QObject::connect(ReadNotifier.get(), &QSocketNotifier::activated, ReadNotifier.get(), [this] { Read(); });
    WriteNotifier = std::make_unique<QSocketNotifier>(Master, QSocketNotifier::Write);
    WriteNotifier->setEnabled(false);
    QObject::connect(WriteNotifier.get(), &QSocketNotifier::activated, WriteNotifier.get(), [this] { Flush(); });
    return true;
}

std::uint32_t PtyLink::CurrentBaud() const
{
    termios settings{};
    if (::tcgetattr(Slave, &settings) != 0)
        return DefaultBaud;
    return BaudOf(::cfgetospeed(&settings));
}

void PtyLink::Read()
{
    std::array<char, 4096> buffer;
    for (;;) {
        const ssize_t n = ::read(Master, buffer.data(), buffer.size());
        if (n <= 0)
            return;
        const std::string bytes(buffer.data(), static_cast<std::size_t>(n));
        if (!Pacer) {
            FromPc(bytes);
            continue;
        }
        const std::uint32_t baud = CurrentBaud();
        CountFromPc(bytes.size(), baud);
        Pacer->FromPc(bytes, baud);
    }
}

void PtyLink::ToPc(const std::string& bytes)
{
    if (Pacer)
        Pacer->FromCard(bytes, CurrentBaud());
    else
        Write(bytes);
}

void PtyLink::Write(const std::string& bytes)
{
    Unwritten += bytes;
    Flush();
}

void PtyLink::Flush()
{
    while (!Unwritten.empty()) {
        const ssize_t n = ::write(Master, Unwritten.data(), Unwritten.size());
        if (n <= 0)
            break;
        Unwritten.erase(0, static_cast<std::size_t>(n));
    }
    WriteNotifier->setEnabled(!Unwritten.empty());
}
