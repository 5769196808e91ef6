#include "About.h"
#include "CompDlg.h"
#include "ipconfig.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include <gtest/gtest.h>

#include <vector>

namespace {

// The LAN dialog with its warnings recorded instead of shown.
struct LanBench {
    LanBench()
    {
        Dialog.ShowBox = [this](TBoxKind, const QString& text) {
            Warnings.push_back(text.toStdString());
            return true;
        };
    }
    void Enter(const char* local, const char* address, const char* remote)
    {
        Dialog.ELocalPort->setText(local);
        Dialog.ERemoteAddr->setText(address);
        Dialog.ERemotePort->setText(remote);
    }
    TIPConfigDlg Dialog;
    std::vector<std::string> Warnings;
};

bool ValidAddress(const std::string& text)
{
    std::array<std::uint8_t, 4> octets;
    return TIPConfigDlg::CheckIPAddress(text, octets);
}

}  // namespace

TEST(LanDialog, AddressCheck)
{
    std::array<std::uint8_t, 4> octets;
    ASSERT_TRUE(TIPConfigDlg::CheckIPAddress("192.168.0.10", octets));
    EXPECT_EQ(octets, (std::array<std::uint8_t, 4>{192, 168, 0, 10}));
    EXPECT_TRUE(ValidAddress("-0.0.0.0"));
    EXPECT_TRUE(ValidAddress("$C0.168.0.1"));
    EXPECT_TRUE(ValidAddress(" 10.0.0.001"));
    for (const char* bad : {"192.168.0", "192.168.0.256", "192..0.1", "1.2.3.4.5", "-1.2.3.4", "1.2.3.4 ", "", "a.b.c.d"}) {
        EXPECT_FALSE(TIPConfigDlg::CheckIPAddress(bad, octets)) << bad;
        EXPECT_EQ(octets, (std::array<std::uint8_t, 4>{0, 0, 0, 0})) << bad;
    }
}

TEST(LanDialog, ApplyChecksInOrderAndStoresAsTyped)
{
    LanBench bench;
    bench.Dialog.SetLanMode(CON_UDP);
    bench.Enter("70000", "192.168.0.10", "10500");
    bench.Dialog.BOkClick();
    EXPECT_EQ(bench.Warnings, (std::vector<std::string>{"Choose a Local Port <0-65535>"}));
    EXPECT_EQ(bench.Dialog.LocalPort, 0);
    EXPECT_FALSE(bench.Dialog.Applied);

    // The local port is stored before the remote port is looked at.
    bench.Enter("10100", "192.168.0.10", "x");
    bench.Dialog.BOkClick();
    EXPECT_EQ(bench.Warnings.back(), "Choose a Remote Port <0-65535>");
    EXPECT_EQ(bench.Dialog.LocalPort, 10100);

    bench.Enter("0", "192.168.0.300", "0");
    bench.Dialog.BOkClick();
    EXPECT_EQ(bench.Warnings.back(), "Remote IP address not Valid");
    EXPECT_EQ(bench.Dialog.RemotePort, 0);

    bench.Enter("0", "$0A.0.0.01", "0");
    bench.Dialog.BOkClick();
    EXPECT_EQ(bench.Warnings.size(), 3u);
    EXPECT_TRUE(bench.Dialog.Applied);
    EXPECT_EQ(bench.Dialog.RemoteAddress, "$0A.0.0.01");
    EXPECT_EQ(bench.Dialog.RemotePort, 0);
    EXPECT_EQ(bench.Dialog.LocalPort, 0);
}

TEST(LanDialog, DisabledLocalPortStillBlocksApplyWithTcp)
{
    LanBench bench;
    bench.Dialog.SetLanMode(CON_TCP);
    EXPECT_FALSE(bench.Dialog.ELocalPort->isEnabled());
    EXPECT_TRUE(bench.Dialog.RBTcp->isChecked());
    bench.Enter("-1", "192.168.0.10", "10500");
    bench.Dialog.BOkClick();
    EXPECT_EQ(bench.Warnings, (std::vector<std::string>{"Choose a Local Port <0-65535>"}));
    bench.Dialog.RBUdpClick();
    EXPECT_TRUE(bench.Dialog.ELocalPort->isEnabled());
    EXPECT_TRUE(bench.Dialog.RBUdp->isChecked());
}

TEST(LanDialog, CancelAndCloseBoxKeepWhatWasClicked)
{
    LanBench bench;
    bench.Dialog.show();  // showing picks TCP when no mode was set
    EXPECT_EQ(bench.Dialog.LanMode, CON_TCP);
    bench.Dialog.RBUdpClick();
    bench.Dialog.BCancelClick();
    EXPECT_EQ(bench.Dialog.LanMode, CON_UDP);
    EXPECT_FALSE(bench.Dialog.Applied);

    bench.Dialog.show();
    EXPECT_EQ(bench.Dialog.LanMode, CON_UDP);  // kept, not reset to TCP
    bench.Enter("1", "10.0.0.1", "2");
    bench.Dialog.BOkClick();
    EXPECT_TRUE(bench.Dialog.Applied);
    bench.Dialog.show();
    bench.Dialog.RBTcpClick();
    bench.Dialog.close();  // the close box: neither Apply nor Cancel
    EXPECT_TRUE(bench.Dialog.Applied);
    EXPECT_EQ(bench.Dialog.LanMode, CON_TCP);
}

TEST(LanDialog, InitialTextsAndTabOrder)
{
    TIPConfigDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), "LAN Setup");
    EXPECT_EQ(dialog.ELocalPort->text(), "10100");
    EXPECT_EQ(dialog.ERemoteAddr->text(), "192.168.0.10");
    EXPECT_EQ(dialog.ERemotePort->text(), "10500");
    EXPECT_EQ(dialog.BOk->text(), "Apply");
    EXPECT_EQ(dialog.LanMode, CON_NONE);
    EXPECT_EQ(dialog.BCancel->nextInFocusChain(), dialog.ELocalPort);
    EXPECT_EQ(dialog.ELocalPort->nextInFocusChain(), dialog.ERemoteAddr);
    EXPECT_EQ(dialog.ERemoteAddr->nextInFocusChain(), dialog.ERemotePort);
    EXPECT_EQ(dialog.ERemotePort->nextInFocusChain(), dialog.BOk);
    dialog.SetRemoteAddress("10.1.2.3");
    dialog.SetRemotePort(7);
    dialog.SetLocalPort(8);
    EXPECT_EQ(dialog.ERemoteAddr->text(), "10.1.2.3");
    EXPECT_EQ(dialog.ERemotePort->text(), "7");
    EXPECT_EQ(dialog.ELocalPort->text(), "8");
}

TEST(ComponentSelection, MotherboardBoxDrivesItsComponents)
{
    TCompSelDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), "Component Selection");
    EXPECT_TRUE(dialog.CBMB->isChecked());
    EXPECT_TRUE(dialog.CBMBMCU->isChecked());
    EXPECT_TRUE(dialog.CBMBPROM1->isChecked());
    EXPECT_FALSE(dialog.CBExt->isChecked());
    EXPECT_FALSE(dialog.PCCompSel->isTabVisible(dialog.PCCompSel->indexOf(dialog.TSExt)));
    EXPECT_EQ(dialog.PCCompSel->currentWidget(), dialog.TSMB);

    dialog.CBMBMCU->setChecked(false);
    dialog.CBMB->click();
    EXPECT_FALSE(dialog.CBMBMCU->isEnabled());
    EXPECT_FALSE(dialog.CBMBPROM1->isChecked());
    dialog.CBMB->click();
    EXPECT_TRUE(dialog.CBMBMCU->isChecked());
    EXPECT_TRUE(dialog.CBMBPROM1->isChecked());
    EXPECT_TRUE(dialog.CBMBPROM1->isEnabled());
}

TEST(AboutBox, TitleVersionAndMaker)
{
    TAboutBox about;
    EXPECT_EQ(about.windowTitle(), "About Corvane Pelto Updater");
    EXPECT_EQ(about.LTitle->text(), "Corvane Pelto Updater");
    EXPECT_EQ(about.LVersion->text(), "Version : 1.5.0.0");
    EXPECT_FALSE(about.LMaker->text().isEmpty());
    EXPECT_FALSE(about.ProgramIcon->pixmap().isNull());
    EXPECT_TRUE(about.OKButton->isDefault());
}
