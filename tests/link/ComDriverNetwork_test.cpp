#include "ComDriver.h"

#include "LinkTestSupport.h"

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;

class DriverOnUdp : public ::testing::Test {
protected:
    DriverOnUdp()
    {
        Driver.SetIpLocalPort(0);
        Driver.SetIpRemoteAddress("127.0.0.1");
        Driver.SetIpRemotePort(Card.Port());
        Driver.SetConMode(MODE_RAW);
        Driver.SetConType(CON_UDP);
        Log.Events.clear();
    }

    std::uint16_t LocalPort() const { return Driver.GetUdpEndpoint().BoundPort(); }

    UdpPeer Card;
    TComDriver Driver;
    DriverLog Log{Driver};
};

class DriverOnTcp : public ::testing::Test {
protected:
    DriverOnTcp()
    {
        Card.Listen();
        Driver.SetIpRemoteAddress("127.0.0.1");
        Driver.SetIpRemotePort(Card.Port());
        Driver.SetConMode(MODE_RAW);
    }

    bool Connected(const TcpPeer& card)
    {
        return WaitUntil([&] { return card.Client && Driver.GetTcpClient().IsConnected(); });
    }

    TcpPeer Card;
    TComDriver Driver;
    DriverLog Log{Driver};
};

std::string LongText()
{
    std::string text(20000, ' ');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char>('a' + i % 26);
    return text;
}

}  // namespace

TEST_F(DriverOnUdp, OnlyTheCardsAddressAndPortAreHeard)
{
    ASSERT_TRUE(Driver.GetUdpEndpoint().IsActive());
    Driver.SendRaw("P1");
    ASSERT_TRUE(WaitUntil([&] { return !Card.Datagrams.empty(); }));
    EXPECT_EQ(Card.Datagrams, Lines{"P1"});
    EXPECT_EQ(Card.SenderPorts[0], LocalPort());

    UdpPeer otherPort;
    UdpPeer otherAddress("127.0.0.2", Card.Port());
    otherPort.SendTo(LocalPort(), "x1");
    otherAddress.SendTo(LocalPort(), "x2");
    Card.SendTo(LocalPort(), std::string(9000, 'y'));
    // A zero byte of line noise loses nothing behind it.
    Card.SendTo(LocalPort(), std::string("ok\0cut", 6));
    ASSERT_TRUE(WaitUntil([&] { return !Log.Raw.empty(); }));
    EXPECT_EQ(Log.Raw, std::string("ok\0cut", 6));
    EXPECT_EQ(Log.Events, Lines{"rec"});
}

// No reply can pass here, so only a quiet spell shows that it was ignored.
TEST_F(DriverOnUdp, AddressWrittenInAnotherFormIsNotTheSender)
{
    Driver.SetIpRemoteAddress("127.000.000.001");
    Driver.SendRaw("P2");
    ASSERT_TRUE(WaitUntil([&] { return !Card.Datagrams.empty(); }));
    Card.SendTo(LocalPort(), "reply");
    EXPECT_FALSE(WaitUntil([&] { return !Log.Raw.empty(); }, 200));
}

TEST_F(DriverOnUdp, SendFailureClosesTheEndpointAndShowsTheReason)
{
    Driver.SendRaw(std::string(70000, 'x'));
    ASSERT_EQ(Log.SocketErrors.size(), 1u);
    EXPECT_FALSE(Log.SocketErrors[0].empty());
    EXPECT_FALSE(Driver.GetUdpEndpoint().IsActive());
    EXPECT_EQ(Driver.GetConType(), CON_UDP);
    Driver.SendRaw("dropped");
    EXPECT_EQ(Log.SocketErrors.size(), 1u);

    Driver.SetIpRemoteAddress("card.local");
    EXPECT_TRUE(Driver.GetUdpEndpoint().IsActive());
    Driver.SendRaw("P1");
    EXPECT_EQ(Log.SocketErrors, (Lines{Log.SocketErrors[0], "Invalid IP address : card.local"}));
    EXPECT_FALSE(Driver.GetUdpEndpoint().IsActive());
}

TEST(DriverUdpPort, PortHeldElsewhereLeavesTheEndpointClosedUntilAnotherPort)
{
    UdpPeer holder("0.0.0.0");
    TComDriver driver;
    DriverLog log(driver);
    driver.SetIpRemoteAddress("127.255.255.255");
    driver.SetIpRemotePort(holder.Port());
    driver.SetConMode(MODE_RAW);
    driver.SetIpLocalPort(holder.Port());
    driver.SetConType(CON_UDP);
    EXPECT_FALSE(driver.LastOpenSucceeded());
    EXPECT_FALSE(driver.GetUdpEndpoint().IsActive());

    for (int round = 0; round < 2; ++round) {
        const std::uint16_t port = FreeUdpPort();
        driver.SetIpLocalPort(port);
        EXPECT_TRUE(driver.LastOpenSucceeded());
        EXPECT_EQ(driver.GetUdpEndpoint().BoundPort(), port);
    }
    // Broadcast is allowed.
    driver.SendRaw("all");
    ASSERT_TRUE(WaitUntil([&] { return !holder.Datagrams.empty(); }));
    EXPECT_EQ(holder.Datagrams, Lines{"all"});
    EXPECT_TRUE(log.SocketErrors.empty());
}

TEST_F(DriverOnTcp, WriteBeforeTheConnectionIsDroppedAndLongTextsGoWhole)
{
    Driver.SetConType(CON_TCP);
    Driver.SendRaw("early");
    ASSERT_TRUE(Connected(Card));
    const std::string text = LongText();
    Driver.SendRaw(text);
    ASSERT_TRUE(WaitUntil([&] { return Card.Received.size() >= text.size(); }));
    EXPECT_EQ(Card.Received, text);

    Card.Write(text);
    ASSERT_TRUE(WaitUntil([&] { return Log.Raw.size() >= text.size(); }));
    EXPECT_EQ(Log.Raw, text);
    Card.Write(std::string("\0AB\0CD", 6));
    ASSERT_TRUE(WaitUntil([&] { return Log.Raw.size() >= text.size() + 6; }));
    EXPECT_EQ(Log.Raw.substr(text.size()), std::string("\0AB\0CD", 6));
}

TEST_F(DriverOnTcp, RemotePortChangeReconnects)
{
    Driver.SetConType(CON_TCP);
    ASSERT_TRUE(Connected(Card));
    Driver.SetIpRemotePort(Card.Port());
    EXPECT_TRUE(Driver.GetTcpClient().IsConnected());

    TcpPeer other;
    ASSERT_TRUE(other.Listen());
    Driver.SetIpRemotePort(other.Port());
    ASSERT_TRUE(Connected(other));
    Driver.SendRaw("P1");
    ASSERT_TRUE(WaitUntil([&] { return !other.Received.empty(); }));
    EXPECT_EQ(other.Received, "P1");
    EXPECT_EQ(Card.Connections, 1);

    Driver.SetIpRemoteAddress("card.local");
    EXPECT_FALSE(Driver.LastOpenSucceeded());
}

TEST_F(DriverOnTcp, RetriesWhileNobodyListensUntilTheTypeChanges)
{
    const std::uint16_t port = FreeTcpPort();
    Driver.SetIpRemotePort(port);
    Driver.SetConType(CON_TCP);
    TcpPeer late;
    ASSERT_TRUE(late.Listen(port));
    ASSERT_TRUE(Connected(late));

    late.Stop();
    Driver.SetConType(CON_NONE);
    Driver.SetConType(CON_TCP);
    RunPostedEvents();
    Driver.SetConType(CON_RS232);
    EXPECT_TRUE(Driver.GetTcpClient().IsIdle());
    RunPostedEvents();
    EXPECT_TRUE(Driver.GetTcpClient().IsIdle());
    EXPECT_EQ(late.Connections, 1);
}

// A refusal comes back at once on the local network: the next attempt waits, so
// an absent card does not keep a processor busy with attempts.
TEST_F(DriverOnTcp, RefusedConnectionIsTriedAgainAfterAPause)
{
    const std::uint16_t port = FreeTcpPort();
    Driver.SetIpRemotePort(port);
    Driver.SetConType(CON_TCP);
    ASSERT_TRUE(WaitUntil([&] { return Driver.GetTcpClient().IsIdle(); }));
    RunPostedEvents();
    EXPECT_TRUE(Driver.GetTcpClient().IsIdle());
    TcpPeer late;
    ASSERT_TRUE(late.Listen(port));
    EXPECT_TRUE(Connected(late));
}

// The platform refuses this address inside the connection start itself.
TEST_F(DriverOnTcp, FailureWhileStartingDoesNotRecurse)
{
    Driver.SetIpRemoteAddress("255.255.255.255");
    Driver.SetConType(CON_TCP);
    for (int turn = 0; turn < 3; ++turn)
        RunPostedEvents();
    EXPECT_FALSE(Driver.GetTcpClient().IsConnected());
    Driver.SetConType(CON_NONE);
    EXPECT_TRUE(Driver.GetTcpClient().IsIdle());
}

TEST_F(DriverOnTcp, CardClosingTheConnectionEndsItWithoutANewAttempt)
{
    Driver.SetConType(CON_TCP);
    ASSERT_TRUE(Connected(Card));
    Card.Client->close();
    ASSERT_TRUE(WaitUntil([&] { return Driver.GetTcpClient().IsIdle(); }));
    RunPostedEvents();
    EXPECT_TRUE(Driver.GetTcpClient().IsIdle());
    EXPECT_EQ(Card.Connections, 1);
}
