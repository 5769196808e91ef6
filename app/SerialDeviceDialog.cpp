#include "SerialDeviceDialog.h"

#include "Utils.h"
#include "DecodedText.h"
#include "constante.h"
#include "textutil.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

constexpr int DialogWidth = 620;
constexpr int DialogHeight = 260;

}  // namespace

TSerialDeviceDialog::TSerialDeviceDialog(QWidget* parent) : QDialog(parent)
{
    DeviceTable = new QTableWidget(0, 4, this);
    DeviceTable->setHorizontalHeaderLabels({QString::fromLatin1(constante::ColumnDevice),
                                            QString::fromLatin1(constante::ColumnDescription),
                                            QString::fromLatin1(constante::ColumnManufacturer),
                                            QString::fromLatin1(constante::ColumnSerialNumber)});
    DeviceTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    DeviceTable->setSelectionMode(QAbstractItemView::SingleSelection);
    DeviceTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DeviceTable->verticalHeader()->setVisible(false);
    DeviceTable->horizontalHeader()->setStretchLastSection(true);
    Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(DeviceTable);
    layout->addWidget(Buttons);
    connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(DeviceTable, &QTableWidget::cellDoubleClicked, this, &QDialog::accept);
    connect(DeviceTable, &QTableWidget::itemSelectionChanged, this,
            [this] { Buttons->button(QDialogButtonBox::Ok)->setEnabled(!ChosenDevice().empty()); });
    resize(DialogWidth, DialogHeight);
    setWindowIcon(ProgramIcon());
}

void TSerialDeviceDialog::Fill(const std::string& comPort, const std::vector<TSerialDeviceInfo>& devices,
                               const std::string& currentDevice)
{
    setWindowTitle(Latin1(FormatText(constante::SerialDeviceCaptionFormat, comPort)));
    Devices = devices;
    DeviceTable->clearSelection();
    DeviceTable->setRowCount(static_cast<int>(Devices.size()));
    for (std::size_t row = 0; row < Devices.size(); ++row) {
        const TSerialDeviceInfo& device = Devices[row];
        int column = 0;
        for (const std::string* text : {&device.Device, &device.Description, &device.Manufacturer, &device.SerialNumber})
            DeviceTable->setItem(static_cast<int>(row), column++, new QTableWidgetItem(DecodedText(*text)));
        if (device.Device == currentDevice)
            DeviceTable->selectRow(static_cast<int>(row));
    }
    DeviceTable->resizeColumnsToContents();
    Buttons->button(QDialogButtonBox::Ok)->setEnabled(!ChosenDevice().empty());
}

std::string TSerialDeviceDialog::ChosenDevice() const
{
    const QList<QTableWidgetItem*> selected = DeviceTable->selectedItems();
    if (selected.isEmpty())
        return {};
    const auto row = static_cast<std::size_t>(selected.front()->row());
    return row < Devices.size() ? Devices[row].Device : std::string();
}
