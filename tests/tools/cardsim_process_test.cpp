#include "ChildProcess.h"
#include "RunProcess.h"
#include "TempDir.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Reads from fd until `expected` bytes came or a second passed.
std::string ReadSome(int fd, std::size_t expected)
{
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (text.size() < expected && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        char buffer[256];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

sockaddr_in Loopback(int port, std::uint32_t host = INADDR_LOOPBACK)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(host);
    return address;
}

std::string Query(int fd)
{
    (void)!::write(fd, "?", 1);
    return ReadSome(fd, 7);
}

}  // namespace

TEST(CardSimProgram, HelpListsEveryOptionAndWrongUseExits2)
{
    const ProcessResult help = RunProcess({CORVANE_CARDSIM, "--help"});
    EXPECT_EQ(help.ExitCode, 0);
    for (const char* option : {"--pty", "--tcp", "--udp", "--baud-pacing", "--type", "--device-id", "--boot-checksum",
                               "--start-in-bootloader", "--version", "--absent-card", "--mcu-id", "--jtag-idcodes",
                               "--state", "--trace", "--seed", "--repeat-rate", "--corrupt-rate", "--drop-rate",
                               "--corrupt-capture-rate", "--drop-ack-rate", "--noise-rate", "--noise-only", "--refuse", "--silent-after",
                               "--close-after", "--address"})
        EXPECT_NE(help.Out.find(option), std::string::npos) << option;
    EXPECT_EQ(RunProcess({CORVANE_CARDSIM}).ExitCode, 2);
    EXPECT_EQ(RunProcess({CORVANE_CARDSIM, "--tcp", "0", "--udp", "0"}).ExitCode, 2);
    EXPECT_EQ(RunProcess({CORVANE_CARDSIM, "--pty", "--type", "59"}).ExitCode, 2);
    EXPECT_EQ(RunProcess({CORVANE_CARDSIM, "--pty", "--repeat-rate", "2"}).ExitCode, 2);
    EXPECT_EQ(RunProcess({CORVANE_CARDSIM, "--pty", "--address", "127.0.0.2"}).ExitCode, 2);
    EXPECT_EQ(RunProcess({CORVANE_CARDSIM, "--udp", "0", "--address", "::1"}).ExitCode, 2);
    EXPECT_EQ(RunProcess({CORVANE_CARDSIM, "--tcp", "0", "--address", "card.local"}).ExitCode, 2);
}

TEST(CardSimProgram, TcpCardWritesItsStateOnSigterm)
{
    TempDir dir;
    const std::string state = dir.Path() + "card.json";
    ChildProcess card;
    ASSERT_TRUE(card.Start({CORVANE_CARDSIM, "--tcp", "0", "--type", "58", "--state", state}));
    const int port = std::stoi("0" + card.ReadLine());
    ASSERT_GT(port, 0);

    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = Loopback(port);
    ASSERT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(Query(fd), "DEV58\r\n");
    ::close(fd);

    EXPECT_EQ(card.Stop(SIGTERM), 0);
    QFile file(QString::fromStdString(state));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject json = QJsonDocument::fromJson(file.readAll()).object();
    EXPECT_EQ(json["mode"].toString(), "firmware");
    EXPECT_EQ(json["device_type"].toInt(), 58);
    EXPECT_EQ(json["banks"].toArray().size(), 8);
    EXPECT_EQ(json["banks"].toArray()[3].toObject()["bytes"].toString().size(), 2 * 0x8000);
    EXPECT_EQ(json["counts"].toObject()["commands"].toInt(), 1);
    EXPECT_EQ(json["firmware_commands"].toObject(), (QJsonObject{{"?", 1}}));
    // A network link has no baud rate: its bytes are counted under 0.
    const QJsonArray traffic = json["traffic"].toArray();
    ASSERT_EQ(traffic.size(), 1);
    EXPECT_EQ(traffic[0].toObject()["baud"].toInt(), 0);
    EXPECT_EQ(traffic[0].toObject()["from_pc"].toInt(), 1);
    EXPECT_EQ(traffic[0].toObject()["to_pc"].toInt(), 7);
}

// Any loopback address serves a card of its own; the state counts each
// firmware command by its letters.
TEST(CardSimProgram, UdpCardAnswersTheSenderOnTheAddressItServes)
{
    TempDir dir;
    const std::string state = dir.Path() + "card.json";
    constexpr std::uint32_t Served = 0x7F000006;  // 127.0.0.6
    ChildProcess card;
    ASSERT_TRUE(card.Start({CORVANE_CARDSIM, "--udp", "0", "--address", "127.0.0.6", "--state", state}));
    const int port = std::stoi("0" + card.ReadLine());
    ASSERT_GT(port, 0);
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const sockaddr_in local = Loopback(0);
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local), 0);
    const sockaddr_in remote = Loopback(port, Served);
    ASSERT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&remote), sizeof remote), 0);
    EXPECT_EQ(Query(fd), "DEV57\r\n");
    (void)!::write(fd, "5@", 2);
    EXPECT_EQ(ReadSome(fd, 7), "ADBG5\r\n");
    EXPECT_EQ(Query(fd), "DEV57\r\n");
    ::close(fd);
    EXPECT_EQ(card.Stop(SIGINT), 0);
    const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(ReadFile(state))).object();
    EXPECT_EQ(json["firmware_commands"].toObject(), (QJsonObject{{"?", 2}, {"@", 1}}));
}

// The bytes of each opening count at the speed the PC set for it: the wire time
// of a paced run is worked out from them.
TEST(CardSimProgram, PtySurvivesThePortBeingClosedAndReopened)
{
    TempDir dir;
    const std::string state = dir.Path() + "card.json";
    ChildProcess card;
    ASSERT_TRUE(card.Start({CORVANE_CARDSIM, "--pty", "--baud-pacing", "--state", state}));
    const std::string device = card.ReadLine();
    ASSERT_EQ(device.rfind("/dev/pts/", 0), 0u) << device;
    for (speed_t speed : {B9600, B57600}) {
        const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        termios settings{};
        ::tcgetattr(fd, &settings);
        ::cfmakeraw(&settings);
        ::cfsetspeed(&settings, speed);
        ::tcsetattr(fd, TCSANOW, &settings);
        EXPECT_EQ(Query(fd), "DEV57\r\n");
        ::close(fd);
    }
    EXPECT_EQ(card.Stop(SIGTERM), 0);
    QFile file(QString::fromStdString(state));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonArray traffic = QJsonDocument::fromJson(file.readAll()).object()["traffic"].toArray();
    ASSERT_EQ(traffic.size(), 2);
    for (int line = 0; line < 2; ++line) {
        EXPECT_EQ(traffic[line].toObject()["baud"].toInt(), line == 0 ? 9600 : 57600);
        EXPECT_EQ(traffic[line].toObject()["from_pc"].toInt(), 1);
        EXPECT_EQ(traffic[line].toObject()["to_pc"].toInt(), 7);
    }
}
