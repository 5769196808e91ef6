// TSerialDeviceDialog: the serial devices present, one of which the operator
// chooses for the COM port selected in the Port menu.
//
// The dialog only shows and selects; the window reads the choice after OK and
// keeps it in "Updater.prm".
#pragma once

#include "SerialDeviceList.h"

#include <QDialog>

#include <string>
#include <vector>

class QDialogButtonBox;
class QTableWidget;

class TSerialDeviceDialog : public QDialog {
public:
    explicit TSerialDeviceDialog(QWidget* parent = nullptr);

    // Shows the devices for comPort ("COM3"); the row of currentDevice, when
    // present, starts selected.
    void Fill(const std::string& comPort, const std::vector<TSerialDeviceInfo>& devices, const std::string& currentDevice);
    // The device of the selected row; empty when none is.
    std::string ChosenDevice() const;

    QTableWidget* DeviceTable;
    QDialogButtonBox* Buttons;

private:
    std::vector<TSerialDeviceInfo> Devices;
};
