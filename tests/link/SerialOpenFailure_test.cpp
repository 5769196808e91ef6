#include "ComPort.h"
#include "SerialOpenFailure.h"

#include "LinkTestSupport.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>

TEST(SerialOpenFailure, EachProblemSaysWhatToDoAfterTheSystemsMessage)
{
    using P = TSerialOpenProblem;
    const std::string window = "Port menu, Serial device...";
    EXPECT_EQ(SerialOpenFailureText("/dev/ttyUSB0", {P::Denied, "Permission denied", "uucp"}, window),
              "Permission denied : the user may not open /dev/ttyUSB0; the user must be in its group uucp "
              "(sudo usermod -aG uucp $USER, then log in again)");
    EXPECT_EQ(SerialOpenFailureText("/dev/ttyUSB0", {P::Denied, "Permission denied", ""}, window),
              "Permission denied : the user may not open /dev/ttyUSB0; ask the administrator for read and write "
              "access to it (a udev rule)");
    EXPECT_EQ(SerialOpenFailureText("/dev/ttyS1", {P::InUse, "Device or resource busy", ""}, window),
              "Device or resource busy : /dev/ttyS1 is in use by another program; close that program or choose another port");
    // Where another device is chosen is the view's to say.
    EXPECT_EQ(SerialOpenFailureText("/dev/ttyACM0", {P::Missing, "No such file or directory", ""}, window),
              "No such file or directory : /dev/ttyACM0 is not there; plug the adapter in or choose the device "
              "(Port menu, Serial device...)");
    EXPECT_EQ(SerialOpenFailureText("/dev/ttyACM0", {P::Missing, "No such file or directory", ""}, "--port, --list-ports"),
              "No such file or directory : /dev/ttyACM0 is not there; plug the adapter in or choose the device "
              "(--port, --list-ports)");
    EXPECT_EQ(SerialOpenFailureText("/dev/ttyS1", {P::Other, "Input/output error", ""}, window), "Input/output error");
}

TEST(SerialOpenFailure, AGroupIsNamedOnlyWhenJoiningItGivesAccess)
{
    constexpr gid_t Dialout = 20;
    EXPECT_EQ(GroupToJoin(Dialout, S_IFCHR | 0660, "dialout"), "dialout");
    EXPECT_EQ(GroupToJoin(0, S_IFCHR | 0660, "root"), "");           // joining root's group is not advice
    EXPECT_EQ(GroupToJoin(5, S_IFCHR | 0620, "tty"), "");            // members may write but not read
    EXPECT_EQ(GroupToJoin(Dialout, S_IFCHR | 0600, "dialout"), "");  // the owner alone
    // A device is judged by its own status; one that is not there names no group.
    Pty line;
    struct stat status {};
    ASSERT_EQ(::stat(line.SlaveName().c_str(), &status), 0);
    const group* owner = ::getgrgid(status.st_gid);
    EXPECT_EQ(GroupToJoin(line.SlaveName()), GroupToJoin(status.st_gid, status.st_mode, owner ? owner->gr_name : ""));
    EXPECT_EQ(GroupToJoin("/dev/corvane-no-such-tty"), "");
}

TEST(SerialOpenFailure, PortKeepsTheReasonOfItsLastFailedOpen)
{
    TComPort port;
    port.SetPort("/dev/corvane-no-such-tty");
    EXPECT_THROW(port.Open(), EComError);
    ASSERT_TRUE(port.LastOpenFailure());
    EXPECT_EQ(port.LastOpenFailure()->Problem, TSerialOpenProblem::Missing);
    EXPECT_EQ(port.LastOpenFailure()->SystemMessage, "No such file or directory");

    Pty line;
    port.SetPort(line.SlaveName());
    port.Open();
    EXPECT_FALSE(port.LastOpenFailure());

    // A second opener of a device already open is told it is in use.
    TComPort second;
    second.SetPort(line.SlaveName());
    EXPECT_THROW(second.Open(), EComError);
    ASSERT_TRUE(second.LastOpenFailure());
    EXPECT_EQ(second.LastOpenFailure()->Problem, TSerialOpenProblem::InUse);
}
