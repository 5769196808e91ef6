#include "ComPort.h"
#include "SerialOpenFailure.h"

#include "LinkTestSupport.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>

TEST(SerialOpenFailure, EachProblemSaysWhatToDoAfterTheSystemsMessage)
{
    EXPECT_EQ(SerialOpenFailureText("/dev/ttyUSB0", TSerialOpenProblem::Denied, "Permission denied", "uucp"),
              "Permission denied : the user may not open /dev/ttyUSB0; the user must be in its group uucp "
              "(sudo usermod -aG uucp $USER, then log in again)");
    EXPECT_EQ(SerialOpenFailureText("/dev/ttyUSB0", TSerialOpenProblem::Denied, "Permission denied", ""),
              "Permission denied : the user may not open /dev/ttyUSB0; ask the administrator for read and write "
              "access to it (a udev rule)");
    EXPECT_EQ(SerialOpenFailureText("/dev/ttyS1", TSerialOpenProblem::InUse, "Device or resource busy", ""),
              "Device or resource busy : /dev/ttyS1 is in use by another program; close that program or choose another port");
    EXPECT_EQ(SerialOpenFailureText("/dev/ttyACM0", TSerialOpenProblem::Missing, "No such file or directory", ""),
              "No such file or directory : /dev/ttyACM0 is not there; plug the adapter in or choose the device "
              "(Port menu, Serial device...)");
    EXPECT_EQ(SerialOpenFailureText("/dev/ttyS1", TSerialOpenProblem::Other, "Input/output error", ""), "Input/output error");
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
    EXPECT_EQ(port.LastOpenFailure(), "No such file or directory : /dev/corvane-no-such-tty is not there; plug the adapter in "
                                      "or choose the device (Port menu, Serial device...)");

    Pty line;
    port.SetPort(line.SlaveName());
    port.Open();
    EXPECT_EQ(port.LastOpenFailure(), "");

    // A second opener of a device already open is told it is in use.
    TComPort second;
    second.SetPort(line.SlaveName());
    EXPECT_THROW(second.Open(), EComError);
    EXPECT_NE(second.LastOpenFailure().find(line.SlaveName() + " is in use by another program"), std::string::npos)
        << second.LastOpenFailure();
}
