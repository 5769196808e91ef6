#include "ComDriver.h"

#include "LinkTestSupport.h"

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;

// The card on a serial line: each Write is one arrival at the driver.
class DriverOnSerial : public ::testing::Test {
protected:
    DriverOnSerial()
    {
        Driver.SetTag(7);
        Driver.SetPort(Card.SlaveName());
        Driver.SetConType(CON_RS232);
        Log.Events.clear();
    }

    // Sends the bytes followed by "#" CR LF and waits until that last reply is
    // handled, so that everything before it has been parsed.
    Lines Replies(const std::string& bytes)
    {
        Log.Events.clear();
        Card.Write(bytes + "#\r\n");
        EXPECT_TRUE(WaitUntil([&] { return !Log.Events.empty() && Log.Events.back() == "QUERYALL"; }));
        Log.Events.resize(Log.Events.size() - 2);
        return Log.Events;
    }

    Pty Card;
    TComDriver Driver;
    DriverLog Log{Driver};
};

}  // namespace

TEST_F(DriverOnSerial, RepliesInOneArrivalAreHandledInOrder)
{
    EXPECT_EQ(Replies("DEV12\r\nUPD3\r\n"), (Lines{"rec:DEV12", "DEV:12", "rec:UPD3", "UPD:3"}));
    EXPECT_EQ(Driver.GetreceivedString(), "#");
}

TEST_F(DriverOnSerial, RecStringSeesThePreviousValue)
{
    std::vector<std::uint32_t> seen;
    Driver.OnRecString = [&](TComDriver& driver, std::int32_t) { seen.push_back(driver.GetDEV()); };
    Replies("DEV5\r\nDEV7\r\n");
    EXPECT_EQ(seen, (std::vector<std::uint32_t>{0, 5, 7}));
    EXPECT_EQ(Driver.GetDEV(), 7u);
}

TEST_F(DriverOnSerial, ReplyGrammarAcceptsNumbersAndDropsTheRest)
{
    const Lines events = Replies(
        "DEV\r\nDEVx\r\n DEV4\r\ndev4\r\nZZZ\r\n$\r\n$12\r\n$ab\r\n"
        "ADBG7\r\nADBG4294967296\r\nDDBG$FF\r\nDDBG-1\r\nUPD 0x10\r\nUPD12 \r\n");
    // " DEV4": the blank cannot begin a reply and goes as line noise; "dev4" goes whole.
    EXPECT_EQ(events, (Lines{"rec:DEV", "DEV:0", "rec:DEV4", "DEV:4", "rec:$", "DOLLARS", "rec:$12", "DOLLARS", "rec:ADBG7", "ADBG:7",
                             "rec:ADBG4294967296", "ADBG:0", "rec:DDBG$FF", "DDBG:255", "rec:DDBG-1",
                             "DDBG:4294967295", "rec:UPD 0x10", "UPD:16"}));

    // A line may come in pieces; dropped lines leave receivedString alone.
    Card.Write("DEV3\r");
    EXPECT_EQ(Replies("\nbad\r\n"), (Lines{"rec:DEV3", "DEV:3"}));
}

TEST_F(DriverOnSerial, UnterminatedTailIsCutAndSurvivesTheModeSwitch)
{
    Card.Write("#\r\nABCDEFGHIJKL");
    ASSERT_TRUE(WaitUntil([&] { return !Log.Events.empty() && Log.Events.back() == "QUERYALL"; }));
    EXPECT_EQ(Driver.ReadRaw(), "");

    Driver.SetConMode(MODE_RAW);
    Card.Write(std::string("m\0n", 3));
    ASSERT_TRUE(WaitUntil([&] { return Log.Raw.size() >= 13; }));
    EXPECT_EQ(Log.Raw, std::string("CDEFGHIJKLm\0n", 13));
}

TEST_F(DriverOnSerial, VariablesAreSentOnlyInVarModeAndRawOnlyInRawMode)
{
    Driver.SetADDRDBG(5);
    Driver.SetDATADBG(7);
    Driver.SetUPDATER(254);
    Driver.SendVarCommand(2);
    Driver.SendVarCommand(6);
    Driver.SendVarValue(-1, 1);
    Driver.SendRaw("lost");
    EXPECT_EQ(Driver.GetADDRDBG(), 0u);
    Driver.SetConMode(MODE_RAW);
    Driver.SetUPDATER(1);
    Driver.SendRaw("P1");

    const std::string expected = "5@7>254yU?P1";
    ASSERT_TRUE(WaitUntil([&] { return Card.Received.size() >= expected.size(); }));
    EXPECT_EQ(Card.Received, expected);
    EXPECT_EQ(Driver.GetsentString(), "?");
    EXPECT_EQ(Log.Events, (Lines{"sent:5@", "sent:7>", "sent:254yU", "sent:?", "conmode:1"}));
}

TEST_F(DriverOnSerial, SettersReopenTheSerialLink)
{
    Driver.SetConType(CON_RS232);
    EXPECT_TRUE(Driver.GetComPort().IsOpened());
    Driver.SetBaudRate(57600);
    termios line = Card.Line();
    EXPECT_EQ(cfgetospeed(&line), B57600);
    EXPECT_TRUE(Driver.GetComPort().IsOpened());

    Driver.SetPort("");
    EXPECT_FALSE(Driver.GetComPort().IsOpened());
    EXPECT_TRUE(Driver.LastOpenSucceeded());
    Driver.SetPort("/dev/corvane-no-such-tty");
    EXPECT_FALSE(Driver.LastOpenSucceeded());
    EXPECT_EQ(Driver.GetConType(), CON_RS232);
    Driver.SetPort(Card.SlaveName());
    EXPECT_TRUE(Driver.LastOpenSucceeded());
    EXPECT_TRUE(Driver.GetComPort().IsOpened());

    Driver.SetConType(CON_NONE);
    EXPECT_FALSE(Driver.GetComPort().IsOpened());
    EXPECT_EQ(Log.Events, (Lines{"contype:1", "contype:0"}));
}

TEST_F(DriverOnSerial, SettersRaiseTheirEventsAlsoWhenUnchanged)
{
    Driver.SetConType(CON_NONE);
    Driver.SetConType(CON_NONE);
    Driver.SetConMode(MODE_VAR);
    Driver.SetIpLocalPort(10000);
    Driver.SetIpRemotePort(10500);
    Driver.SetIpRemoteAddress("192.168.0.10");
    Driver.SetUPDATER(1);
    EXPECT_EQ(Log.Events, (Lines{"contype:0", "contype:0", "conmode:0", "localport:10000", "remoteport:10500",
                                 "remoteaddress:192.168.0.10", "sent:1yU"}));
}

TEST_F(DriverOnSerial, AHandlerMayCloseTheLinkWhileReceiving)
{
    Driver.SetConMode(MODE_RAW);
    Driver.OnRecString = [](TComDriver& driver, std::int32_t) { driver.SetConType(CON_NONE); };
    Card.Write("X");
    ASSERT_TRUE(WaitUntil([&] { return !Driver.GetComPort().IsOpened(); }));
    EXPECT_EQ(Driver.ReadRaw(), "X");
}
