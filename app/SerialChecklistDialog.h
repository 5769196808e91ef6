// TSerialChecklistDialog: the serial devices present, each with a check box;
// the window of several cards adds a card for each one checked with OK.
#pragma once

#include "SerialDeviceList.h"

#include <QDialog>

#include <set>
#include <string>
#include <vector>

class QDialogButtonBox;
class QListWidget;

class TSerialChecklistDialog : public QDialog {
public:
    explicit TSerialChecklistDialog(QWidget* parent = nullptr);

    // The devices present; those already among the cards are left out.
    void Fill(const std::vector<TSerialDeviceInfo>& devices, const std::set<std::string>& alreadyThere);
    // The devices checked, in the list's order.
    std::vector<std::string> CheckedDevices() const;
    // Checks the device's box; false when it is not in the list.
    bool Check(const std::string& device);

    QListWidget* DeviceList;
    QDialogButtonBox* Buttons;

private:
    std::vector<std::string> Devices;
};
