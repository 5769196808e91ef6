#include "ComPort.h"

#include "LinkTestSupport.h"

#include <gtest/gtest.h>

namespace {

class SerialPort : public ::testing::Test {
protected:
    SerialPort()
    {
        Port.SetPort(Card.SlaveName());
        Port.ReceiveCallBack = [this](const std::string& data) { Arrivals.push_back(data); };
        Port.OnPortOpen = [this](TComPort&) { Events.push_back("open"); };
        Port.OnPortClose = [this](TComPort&) { Events.push_back("close"); };
        Port.OnError = [this](TComPort&) { Events.push_back("error"); };
    }

    // Waits until the card's bytes have been delivered in count calls.
    bool Arrive(const std::string& bytes, std::size_t count)
    {
        Card.Write(bytes);
        return WaitUntil([&] { return Arrivals.size() >= count; });
    }

    // Declared before the port, whose destruction still raises OnPortClose.
    std::vector<std::string> Arrivals;
    std::vector<std::string> Events;
    Pty Card;
    TComPort Port;
};

}  // namespace

TEST_F(SerialPort, OpensClosesAndReopensAtAnotherBaudRate)
{
    Port.Open();
    Port.Open();
    ASSERT_TRUE(Port.IsOpened());
    termios line = Card.Line();
    EXPECT_EQ(cfgetospeed(&line), B9600);
    EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_FALSE(line.c_cflag & (CSTOPB | CRTSCTS));
    EXPECT_FALSE(line.c_iflag & (IXON | IXOFF));

    Port.Close();
    Port.Close();
    EXPECT_FALSE(Port.IsOpened());
    Port.SetBaud(57600);
    Port.Open();
    line = Card.Line();
    EXPECT_EQ(cfgetospeed(&line), B57600);
    EXPECT_EQ(Events, (std::vector<std::string>{"open", "close", "open"}));
}

// A pseudo-terminal keeps eight data bits without parity whatever is asked, so the
// stop bits stand for all three settings.
TEST_F(SerialPort, LineSettingsWaitForTheNextBaudAssignment)
{
    Port.Open();
    Port.SetStopBits(snTWO);
    Port.SetParity(ptEVEN);
    termios line = Card.Line();
    EXPECT_FALSE(line.c_cflag & CSTOPB);

    Port.SetBaud(19200);
    line = Card.Line();
    EXPECT_TRUE(line.c_cflag & CSTOPB);
    EXPECT_EQ(cfgetospeed(&line), B19200);
}

TEST_F(SerialPort, RawModeDeliversEachArrivalWholeZeroBytesIncluded)
{
    Port.SetReceiveMode(rmRAW);
    Port.Open();
    const std::string first("A\0B\r\n", 5);
    ASSERT_TRUE(Arrive(first, 1));
    ASSERT_TRUE(Arrive("C", 2));
    EXPECT_EQ(Arrivals, (std::vector<std::string>{first, "C"}));

    const std::string sent("x\0y", 3);
    Port.SendString(sent);
    ASSERT_TRUE(WaitUntil([&] { return Card.Received.size() >= sent.size(); }));
    EXPECT_EQ(Card.Received, sent);
}

TEST_F(SerialPort, TermModeDeliversOneMessagePerArrival)
{
    Port.Open();
    ASSERT_TRUE(Arrive("A\r\nB\r\n", 1));
    ASSERT_TRUE(Arrive("C", 2));
    ASSERT_TRUE(Arrive("\r\n", 3));
    EXPECT_EQ(Arrivals, (std::vector<std::string>{"A\r\n", "B\r\n", "C\r\n"}));

    Port.SetTerminator("#$2A");
    ASSERT_TRUE(Arrive("x*y", 4));
    EXPECT_EQ(Arrivals.back(), "x*");
}

TEST(SerialTerminator, ReadsBackAndFallsBackToCrLfOnBadText)
{
    TComPort port;
    const auto error = [&](const char* text) {
        port.SetTerminator("#4");
        try {
            port.SetTerminator(text);
        } catch (const EComError& e) {
            return std::string(e.what()) + " / " + port.GetTerminator();
        }
        return port.GetTerminator();
    };
    EXPECT_EQ(error("#13#10"), "#13#10");
    EXPECT_EQ(error("#x1B#65#"), "#27#65");
    const std::string illegal =
        "Illegal terminator string.\rformat : #<asciicode>#<asciicode>#<...>\rexample: #13#10 / #13#10";
    EXPECT_EQ(error("#13#ab"), illegal);
    EXPECT_EQ(error("#13##10"), illegal);
    // An empty terminator would match everywhere, so CR LF stays in use.
    EXPECT_EQ(error(""), "Terminator string cannot be empty! / #13#10");
    EXPECT_EQ(error("#"), "Terminator string cannot be empty! / #13#10");
}

TEST_F(SerialPort, MissingDeviceRaisesWithTheSystemsReason)
{
    Port.SetPort("/dev/corvane-no-such-tty");
    try {
        Port.Open();
        ADD_FAILURE() << "no exception";
    } catch (const EComError& e) {
        EXPECT_STREQ(e.what(), "TCOMPORT : cannot open /dev/corvane-no-such-tty\rNo such file or directory");
    }
    EXPECT_FALSE(Port.IsOpened());
    EXPECT_TRUE(Events.empty());
}

TEST_F(SerialPort, LostDeviceRaisesOnErrorAndCloses)
{
    Port.Open();
    Card.CloseMaster();
    ASSERT_TRUE(WaitUntil([&] { return !Port.IsOpened(); }));
    EXPECT_EQ(Events, (std::vector<std::string>{"open", "error", "close"}));
}
