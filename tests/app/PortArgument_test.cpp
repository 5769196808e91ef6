#include "PortArgument.h"

#include <gtest/gtest.h>

namespace {

constexpr std::int32_t SettingsLocalPort = 10600;

TPortArgument Parsed(const std::string& text, const TSettingsList& settings = {})
{
    TPortArgument port;
    std::string error;
    EXPECT_TRUE(ParsePortArgument(text, settings, SettingsLocalPort, port, error)) << text << ": " << error;
    return port;
}

std::vector<TPortArgument> Ports(const std::vector<std::string>& texts)
{
    std::vector<TPortArgument> ports;
    for (const std::string& text : texts)
        ports.push_back(Parsed(text));
    return ports;
}

}  // namespace

TEST(PortArgument, SerialPortsAndDevicePaths)
{
    TSettingsList settings;
    settings.SetValue("COM3", "/dev/ttyUSB0");
    EXPECT_EQ(Parsed("COM3", settings).Link.SerialDevice, "/dev/ttyUSB0");
    const TPortArgument com9 = Parsed("COM9");
    EXPECT_EQ(com9.Link.ConType, CON_RS232);
    EXPECT_EQ(com9.Link.ComPort, "COM9");
    EXPECT_EQ(com9.Link.SerialDevice, "/dev/ttyS8");
    EXPECT_EQ(Parsed("/dev/ttyACM1").Link.SerialDevice, "/dev/ttyACM1");
}

TEST(PortArgument, NetworkLinksTakeTheAddressAsTheLanDialogDoes)
{
    const TPortArgument tcp = Parsed("tcp://10.0.0.5:10500");
    EXPECT_EQ(tcp.Link.ConType, CON_TCP);
    EXPECT_EQ(tcp.Link.RemoteAddress, "10.0.0.5");
    EXPECT_EQ(tcp.Link.RemotePort, 10500);
    const TPortArgument udp = Parsed("udp://192.168.0.10:10500");
    EXPECT_EQ(udp.Link.ConType, CON_UDP);
    EXPECT_EQ(udp.Link.LocalPort, SettingsLocalPort);
    EXPECT_EQ(Parsed("udp://192.168.0.10:10500?local=0").Link.LocalPort, 0);
    EXPECT_EQ(Parsed("tcp://$0A.0.0.1:1").Link.RemoteAddress, "$0A.0.0.1");
}

TEST(PortArgument, MalformedValuesAreRefusedWithTheValue)
{
    for (const char* text : {"COM0", "COM10", "com1", "", "ttyUSB0", "tcp://10.0.0.5", "tcp://10.0.0.5:", "tcp://10.0.0:1",
                             "tcp://10.0.0.256:1", "tcp://10.0.0.5:65536", "tcp://10.0.0.5:-1", "tcp://host:1",
                             "tcp://10.0.0.5:1?local=2", "udp://10.0.0.5:1?local=", "udp://10.0.0.5:1?remote=2",
                             "udp://10.0.0.5:1?local=70000", "http://10.0.0.5:1"}) {
        TPortArgument port;
        std::string error;
        EXPECT_FALSE(ParsePortArgument(text, {}, SettingsLocalPort, port, error)) << text;
        EXPECT_NE(error.find(text), std::string::npos) << error;
    }
}

TEST(PortArgument, TheSameCardTwiceOrOneLocalPortTwiceCannotRun)
{
    EXPECT_EQ(PortConflict(Ports({"tcp://10.0.0.5:10500", "udp://10.0.0.5:10501", "COM1", "/dev/ttyUSB0"})), "");
    EXPECT_NE(PortConflict(Ports({"COM1", "/dev/ttyS0"})), "");
    EXPECT_NE(PortConflict(Ports({"tcp://10.0.0.5:10500", "tcp://10.0.0.05:10500"})), "");
    EXPECT_NE(PortConflict(Ports({"udp://10.0.0.5:10500", "tcp://10.0.0.5:10500"})), "");
    EXPECT_NE(PortConflict(Ports({"udp://10.0.0.5:10500", "udp://10.0.0.6:10500"})), "");
    EXPECT_EQ(PortConflict(Ports({"udp://10.0.0.5:10500?local=1", "udp://10.0.0.6:10500?local=2"})), "");
    EXPECT_EQ(PortConflict(Ports({"udp://10.0.0.5:10500?local=0", "udp://10.0.0.6:10500?local=0"})), "");
}
