#include "CardStateFile.h"

#include "hex.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace {

QString Hex(const std::uint8_t* bytes, std::size_t count)
{
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(count)).toHex().toUpper());
}

QString Word(std::uint32_t value) { return QString::fromStdString(WordToHex(value)); }

QJsonObject AreaJson(const SimulatedCard::FlashArea& area)
{
    return QJsonObject{
        {"first", Word(area.First)},
        {"last", Word(area.Last)},
        {"sum", Word(area.Sum())},
        {"erases", static_cast<qint64>(area.Erases)},
        {"lines_written", static_cast<qint64>(area.LinesWritten)},
        {"verified", area.Verified},
        {"bytes", Hex(area.Image.data() + area.First, static_cast<std::size_t>(area.Last - area.First) + 1)},
    };
}

const char* TapStateName(TapState state)
{
    static constexpr const char* Names[TapStateCount] = {
        "RESET",  "IDLE",   "DRSELECT", "DRCAPTURE", "DRSHIFT",  "DREXIT1", "DRPAUSE",  "DREXIT2",
        "DRUPDATE", "IRSELECT", "IRCAPTURE", "IRSHIFT", "IREXIT1", "IRPAUSE", "IREXIT2", "IRUPDATE",
    };
    return Names[static_cast<std::size_t>(state)];
}

}  // namespace

QJsonObject CardStateJson(const SimulatedCard& card, const CardTraffic& traffic)
{
    QJsonArray banks;
    for (int bank = 0; bank < SimulatedCard::BankCount; ++bank)
        banks.append(AreaJson(card.Bank(bank)));

    QJsonObject versions;
    for (const auto& [component, version] : card.Versions())
        versions.insert(QString(QChar::fromLatin1(component)), QString::fromLatin1(version.c_str()));

    QJsonArray devices;
    for (const JtagDevice& device : card.Jtag().Devices()) {
        devices.append(QJsonObject{
            {"idcode", QString::fromStdString(LongToHex(device.IdCode()))},
            {"instruction", QString::fromStdString(ByteToHex(device.Instruction()))},
            {"address", static_cast<int>(device.Address())},
            {"user", Hex(device.UserRegister().data(), device.UserRegister().size())},
            {"memory", Hex(device.Memory().data(), device.Memory().size())},
        });
    }

    QJsonObject firmwareCommands;
    for (const auto& [command, count] : card.FirmwareCommands())
        firmwareCommands.insert(QString::fromLatin1(command.data(), static_cast<qsizetype>(command.size())),
                                static_cast<qint64>(count));

    QJsonArray carried;
    for (const auto& [baud, bytes] : traffic)
        carried.append(QJsonObject{{"baud", static_cast<qint64>(baud)},
                                   {"from_pc", static_cast<qint64>(bytes.FromPc)},
                                   {"to_pc", static_cast<qint64>(bytes.ToPc)},
                                   {"firmware_to_pc", static_cast<qint64>(bytes.FirmwareToPc)}});

    return QJsonObject{
        {"mode", card.CurrentMode() == SimulatedCard::Mode::Firmware ? "firmware" : "bootloader"},
        {"device_type", static_cast<int>(card.DeviceType())},
        {"device_id", Word(card.DeviceId())},
        {"boot", AreaJson(card.BootArea())},
        {"banks", banks},
        {"versions", versions},
        {"user_version", QString::fromLatin1(card.UserVersion().c_str())},
        {"option_code", QString::fromLatin1(card.OptionCode().c_str())},
        {"jtag", QJsonObject{{"state", TapStateName(card.Jtag().State())},
                             {"records_executed", static_cast<qint64>(card.EffectRecordsExecuted())},
                             {"devices", devices}}},
        {"counts", QJsonObject{{"commands", static_cast<qint64>(card.CommandsReceived())},
                               {"retransmissions", static_cast<qint64>(card.RetransmissionsRequested())},
                               {"sync_probes", static_cast<qint64>(card.SyncProbesReceived())},
                               {"sync_answers", static_cast<qint64>(card.SyncAnswersSent())},
                               {"noise_bytes", static_cast<qint64>(card.NoiseBytesSent())}}},
        {"firmware_commands", firmwareCommands},
        {"traffic", carried},
    };
}

bool WriteCardState(const SimulatedCard& card, const CardTraffic& traffic, const std::string& path)
{
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QJsonDocument(CardStateJson(card, traffic)).toJson(QJsonDocument::Indented));
    return file.commit();
}
