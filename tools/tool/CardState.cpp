#include "CardState.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

constexpr int BankCount = 8;

std::vector<std::uint8_t> HexBytes(const QJsonValue& value)
{
    const QByteArray bytes = QByteArray::fromHex(value.toString().toLatin1());
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

std::uint16_t HexWord(const QJsonValue& value, bool& ok)
{
    bool converted = false;
    const uint word = value.toString().toUInt(&converted, 16);
    ok = ok && converted && word <= 0xFFFF;
    return static_cast<std::uint16_t>(word);
}

CardFlashArea AreaOf(const QJsonValue& value, bool& ok)
{
    const QJsonObject json = value.toObject();
    CardFlashArea area;
    area.First = HexWord(json["first"], ok);
    area.Last = HexWord(json["last"], ok);
    area.Bytes = HexBytes(json["bytes"]);
    area.Erases = static_cast<std::uint32_t>(json["erases"].toInteger());
    ok = ok && area.Last >= area.First && area.Bytes.size() == static_cast<std::size_t>(area.Last - area.First) + 1;
    return area;
}

}  // namespace

bool ReadCardState(const std::string& path, CardState& state, std::string& error)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        error = "cannot read " + path;
        return false;
    }
    QJsonParseError parse{};
    const QJsonObject json = QJsonDocument::fromJson(file.readAll(), &parse).object();
    bool ok = parse.error == QJsonParseError::NoError;
    state.DeviceId = HexWord(json["device_id"], ok);
    state.Boot = AreaOf(json["boot"], ok);
    const QJsonArray banks = json["banks"].toArray();
    ok = ok && banks.size() == BankCount;
    state.Banks.clear();
    for (const QJsonValue& bank : banks)
        state.Banks.push_back(AreaOf(bank, ok));
    const QJsonObject versions = json["versions"].toObject();
    for (auto version = versions.begin(); version != versions.end(); ++version)
        if (version.key().size() == 1)
            state.Versions[version.key().toLatin1()[0]] = version.value().toString().toStdString();
    state.UserVersion = json["user_version"].toString().toStdString();
    state.OptionCode = json["option_code"].toString().toStdString();
    state.JtagDevices.clear();
    for (const QJsonValue& device : json["jtag"].toObject()["devices"].toArray())
        state.JtagDevices.push_back({device.toObject()["idcode"].toString().toStdString(),
                                     HexBytes(device.toObject()["memory"])});
    if (!ok)
        error = path + " is not the state file of a simulated card";
    return ok;
}
