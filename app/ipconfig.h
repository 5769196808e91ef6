// TIPConfigDlg: "LAN Setup", how the card is reached over the network.
//
// The dialog validates and keeps the values in its public fields; it never
// touches the link. Apply checks the entries in order and stops at the first
// bad one with a warning; Cancel and the close box keep what was clicked.
#pragma once

#include "ComDriver.h"
#include "MessageBoxHook.h"

#include <QDialog>

#include <array>
#include <cstdint>
#include <string>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

class TIPConfigDlg : public QDialog {
public:
    explicit TIPConfigDlg(QWidget* parent = nullptr);

    tConnectionType LanMode = CON_NONE;
    std::string RemoteAddress;
    std::int32_t RemotePort = 0;
    std::int32_t LocalPort = 0;
    bool Applied = false;

    void SetLanMode(tConnectionType mode);
    void SetRemoteAddress(const std::string& address);
    void SetRemotePort(std::int32_t port);
    void SetLocalPort(std::int32_t port);
    // A dotted quad of four parts that each convert as integers and, read as
    // unsigned 32-bit numbers, are at most 255. On failure the octets are all 0.
    static bool CheckIPAddress(const std::string& text, std::array<std::uint8_t, 4>& octets);

    void RBTcpClick();
    void RBUdpClick();
    void BOkClick();
    void BCancelClick();

    // Warnings of Apply; a modal box unless replaced.
    TMessageBoxHook ShowBox;

    QGroupBox* RGMode;
    QRadioButton* RBTcp;
    QRadioButton* RBUdp;
    QLabel* LLocalPort;
    QLineEdit* ELocalPort;
    QLabel* LRemoteAddr;
    QLineEdit* ERemoteAddr;
    QLabel* LRemotePort;
    QLineEdit* ERemotePort;
    QPushButton* BOk;
    QPushButton* BCancel;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
};
