#include "ipconfig.h"

#include "Utils.h"
#include "constante.h"
#include "textutil.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

constexpr std::int32_t MaxPort = 65535;
constexpr std::uint32_t MaxOctet = 255;
// The disabled local port box takes the colour of inactive caption text.
const QColor InactiveCaptionText(0x43, 0x4E, 0x54);

QString Text(const char* text) { return QString::fromLatin1(text); }

bool ParsePort(const QLineEdit* edit, std::int32_t& port)
{
    return StrToInt32(Bytes(edit->text()), port) && port >= 0 && port <= MaxPort;
}

}  // namespace

TIPConfigDlg::TIPConfigDlg(QWidget* parent) : QDialog(parent), ShowBox(ModalBoxHook(this))
{
    setWindowTitle(Text(constante::LanCaption));
    setFixedSize(263, 247);

    RGMode = new QGroupBox(Text(constante::LanConnectionMode), this);
    RGMode->setGeometry(16, 16, 225, 41);
    RBTcp = new QRadioButton(Text(constante::LanTcp), this);
    RBTcp->setGeometry(32, 32, 49, 17);
    RBUdp = new QRadioButton(Text(constante::LanUdp), this);
    RBUdp->setGeometry(168, 32, 49, 17);
    LLocalPort = new QLabel(Text(constante::LanLocalPort), this);
    LLocalPort->setGeometry(17, 80, 66, 16);
    ELocalPort = new QLineEdit(QStringLiteral("10100"), this);
    ELocalPort->setGeometry(145, 75, 89, 21);
    LRemoteAddr = new QLabel(Text(constante::LanRemoteAddress), this);
    LRemoteAddr->setGeometry(17, 109, 123, 16);
    ERemoteAddr = new QLineEdit(Text(constante::DefaultRemoteIp), this);
    ERemoteAddr->setGeometry(145, 104, 89, 21);
    LRemotePort = new QLabel(Text(constante::LanRemotePort), this);
    LRemotePort->setGeometry(17, 136, 81, 16);
    ERemotePort = new QLineEdit(Text(constante::DefaultRemotePort), this);
    ERemotePort->setGeometry(145, 133, 89, 21);
    BOk = new QPushButton(Text(constante::LanApply), this);
    BOk->setGeometry(36, 168, 75, 33);
    BCancel = new QPushButton(Text(constante::LanCancel), this);
    BCancel->setGeometry(140, 168, 75, 33);

    setTabOrder(BCancel, ELocalPort);
    setTabOrder(ELocalPort, ERemoteAddr);
    setTabOrder(ERemoteAddr, ERemotePort);
    setTabOrder(ERemotePort, BOk);
    setTabOrder(BOk, RBUdp);
    setTabOrder(RBUdp, RBTcp);

    connect(RBTcp, &QRadioButton::clicked, this, [this] { RBTcpClick(); });
    connect(RBUdp, &QRadioButton::clicked, this, [this] { RBUdpClick(); });
    connect(BOk, &QPushButton::clicked, this, [this] { BOkClick(); });
    connect(BCancel, &QPushButton::clicked, this, [this] { BCancelClick(); });
}

void TIPConfigDlg::SetLanMode(tConnectionType mode)
{
    LanMode = mode;
    const bool udp = mode == CON_UDP;
    (udp ? RBUdp : RBTcp)->setChecked(true);
    ELocalPort->setEnabled(udp);
    QPalette look = ELocalPort->palette();
    const QColor colour = udp ? palette().color(QPalette::Active, QPalette::Base) : InactiveCaptionText;
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        look.setColor(group, QPalette::Base, colour);
    ELocalPort->setPalette(look);
}

void TIPConfigDlg::SetRemoteAddress(const std::string& address)
{
    RemoteAddress = address;
    ERemoteAddr->setText(Latin1(address));
}

void TIPConfigDlg::SetRemotePort(std::int32_t port)
{
    RemotePort = port;
    ERemotePort->setText(QString::number(port));
}

void TIPConfigDlg::SetLocalPort(std::int32_t port)
{
    LocalPort = port;
    ELocalPort->setText(QString::number(port));
}

bool TIPConfigDlg::CheckIPAddress(const std::string& text, std::array<std::uint8_t, 4>& octets)
{
    octets = {};
    std::array<std::uint8_t, 4> parsed{};
    std::string_view rest = text;
    for (std::size_t part = 0; part < parsed.size(); ++part) {
        const bool last = part + 1 == parsed.size();
        const std::size_t dot = rest.find('.');
        if (!last && dot == std::string_view::npos)
            return false;
        const std::string_view field = last ? rest : rest.substr(0, dot);
        std::int32_t value = 0;
        if (!StrToInt32(field, value) || static_cast<std::uint32_t>(value) > MaxOctet)
            return false;
        parsed[part] = static_cast<std::uint8_t>(value);
        if (!last)
            rest.remove_prefix(dot + 1);
    }
    octets = parsed;
    return true;
}

void TIPConfigDlg::RBTcpClick() { SetLanMode(CON_TCP); }
void TIPConfigDlg::RBUdpClick() { SetLanMode(CON_UDP); }

void TIPConfigDlg::BOkClick()
{
    std::int32_t localPort = 0;
    if (!ParsePort(ELocalPort, localPort)) {
        ShowBox(TBoxKind::Warning, Text(constante::LanBadLocalPort));
        return;
    }
    SetLocalPort(localPort);
    std::int32_t remotePort = 0;
    if (!ParsePort(ERemotePort, remotePort)) {
        ShowBox(TBoxKind::Warning, Text(constante::LanBadRemotePort));
        return;
    }
    const std::string address = Bytes(ERemoteAddr->text());
    std::array<std::uint8_t, 4> octets;
    if (!CheckIPAddress(address, octets)) {
        ShowBox(TBoxKind::Warning, Text(constante::LanBadAddress));
        return;
    }
    SetRemotePort(remotePort);
    SetRemoteAddress(address);
    Applied = true;
    accept();
}

void TIPConfigDlg::BCancelClick()
{
    Applied = false;
    reject();
}

void TIPConfigDlg::showEvent(QShowEvent* event)
{
    FormShow();
    QDialog::showEvent(event);
}

void TIPConfigDlg::FormShow()
{
    if (LanMode != CON_TCP && LanMode != CON_UDP)
        SetLanMode(CON_TCP);
}
