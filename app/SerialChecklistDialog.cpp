#include "SerialChecklistDialog.h"

#include "DecodedText.h"
#include "Utils.h"
#include "constante.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QVBoxLayout>

namespace {

constexpr int DialogWidth = 460;
constexpr int DialogHeight = 260;

}  // namespace

TSerialChecklistDialog::TSerialChecklistDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QString::fromLatin1(constante::SerialChecklistCaption));
    DeviceList = new QListWidget(this);
    Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(DeviceList);
    layout->addWidget(Buttons);
    connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    resize(DialogWidth, DialogHeight);
    setWindowIcon(ProgramIcon());
}

void TSerialChecklistDialog::Fill(const std::vector<TSerialDeviceInfo>& devices, const std::set<std::string>& alreadyThere)
{
    DeviceList->clear();
    Devices.clear();
    for (const TSerialDeviceInfo& device : devices) {
        if (alreadyThere.count(device.Device) != 0)
            continue;
        std::string text = device.Device;
        if (!device.Description.empty())
            text += "  " + device.Description;
        auto* item = new QListWidgetItem(DecodedText(text), DeviceList);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
        Devices.push_back(device.Device);
    }
    if (Devices.empty())
        new QListWidgetItem(QString::fromLatin1(constante::NoSerialDevice), DeviceList);
}

std::vector<std::string> TSerialChecklistDialog::CheckedDevices() const
{
    std::vector<std::string> checked;
    for (std::size_t row = 0; row < Devices.size(); ++row)
        if (DeviceList->item(static_cast<int>(row))->checkState() == Qt::Checked)
            checked.push_back(Devices[row]);
    return checked;
}

bool TSerialChecklistDialog::Check(const std::string& device)
{
    for (std::size_t row = 0; row < Devices.size(); ++row)
        if (Devices[row] == device) {
            DeviceList->item(static_cast<int>(row))->setCheckState(Qt::Checked);
            return true;
        }
    return false;
}
