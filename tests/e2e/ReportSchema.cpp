#include "ReportSchema.h"

#include "TempDir.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>

#include <filesystem>
#include <functional>
#include <set>

namespace {

using Faults = std::vector<std::string>;
using Check = std::function<bool(const QJsonValue&)>;

bool IsString(const QJsonValue& value) { return value.isString(); }
bool IsStringOrNull(const QJsonValue& value) { return value.isString() || value.isNull(); }
bool IsCount(const QJsonValue& value) { return value.isDouble() && value.toDouble() >= 0 && value.toDouble() == value.toInt(); }
bool IsTime(const QJsonValue& value)
{
    static const QRegularExpression time(QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z$)"));
    return value.isString() && time.match(value.toString()).hasMatch();
}
Check OneOf(QStringList texts)
{
    return [texts](const QJsonValue& value) { return value.isString() && texts.contains(value.toString()); };
}
Check Hex4OrNull()
{
    return [](const QJsonValue& value) {
        static const QRegularExpression hex(QStringLiteral("^[0-9A-F]{4}$"));
        return value.isNull() || (value.isString() && hex.match(value.toString()).hasMatch());
    };
}

// The object has exactly these keys, each passing its check.
void CheckObject(const QJsonValue& value, const std::string& where, const std::vector<std::pair<const char*, Check>>& keys,
                 Faults& faults)
{
    if (!value.isObject()) {
        faults.push_back(where + " is no object");
        return;
    }
    const QJsonObject object = value.toObject();
    std::set<QString> expected;
    for (const auto& [key, check] : keys) {
        expected.insert(QString::fromLatin1(key));
        if (!object.contains(QString::fromLatin1(key)))
            faults.push_back(where + "." + key + " is missing");
        else if (!check(object[QString::fromLatin1(key)]))
            faults.push_back(where + "." + key + " has a wrong value");
    }
    for (const QString& key : object.keys())
        if (!expected.count(key))
            faults.push_back(where + " has the undocumented key " + key.toStdString());
}

void CheckArray(const QJsonValue& value, const std::string& where, const std::vector<std::pair<const char*, Check>>& keys,
                Faults& faults)
{
    if (!value.isArray()) {
        faults.push_back(where + " is no array");
        return;
    }
    int index = 0;
    for (const QJsonValue& entry : value.toArray())
        CheckObject(entry, where + "[" + std::to_string(index++) + "]", keys, faults);
}

}  // namespace

std::vector<std::string> ReportSchemaFaults(const QJsonObject& report)
{
    Faults faults;
    const Check any = [](const QJsonValue&) { return true; };
    CheckObject(report, "report",
                {{"format_version", [](const QJsonValue& value) { return value.toInt() == 1 && value.isDouble(); }},
                 {"program_version", IsString},
                 {"start", IsTime},
                 {"end", IsTime},
                 {"duration_seconds", [](const QJsonValue& value) { return value.isDouble() && value.toDouble() >= 0; }},
                 {"estimated_seconds",
                  [](const QJsonValue& value) { return value.isNull() || (value.isDouble() && value.toDouble() >= 0); }},
                 {"script", IsString},
                 {"bundle", any},
                 {"mode", OneOf({"auto", "manual"})},
                 {"port", IsString},
                 {"connection", OneOf({"RS232", "TCP", "UDP"})},
                 {"device", any},
                 {"versions_read", any},
                 {"versions_written", any},
                 {"lines", any},
                 {"skipped", any},
                 {"noise_bytes_dropped", IsCount},
                 {"programmed", [](const QJsonValue& value) {
                      if (!value.isArray())
                          return false;
                      const QJsonArray parts = value.toArray();
                      return std::all_of(parts.begin(), parts.end(), [](const QJsonValue& part) { return part.isString(); });
                  }},
                 {"result", OneOf({"completed", "failed", "stopped"})},
                 {"message", IsString},
                 {"failed_script", IsStringOrNull}},
                faults);
    CheckObject(report["device"], "device",
                {{"type", [](const QJsonValue& value) { return value.isNull() || IsCount(value); }},
                 {"id", Hex4OrNull()},
                 {"boot_checksum", IsStringOrNull}},
                faults);
    // A plain folder's run has no bundle.
    if (!report["bundle"].isNull()) {
        static const QRegularExpression sha256(QStringLiteral("^[0-9a-f]{64}$"));
        CheckObject(report["bundle"], "bundle",
                    {{"file", IsString},
                     {"sha256", [](const QJsonValue& value) { return sha256.match(value.toString()).hasMatch(); }},
                     {"name", IsString},
                     {"signed", [](const QJsonValue& value) { return value.isBool(); }},
                     {"signer_key_id", IsStringOrNull},
                     {"signer_trusted", [](const QJsonValue& value) { return value.isBool(); }}},
                    faults);
        const QJsonObject bundle = report["bundle"].toObject();
        if (bundle["signed"].toBool() == bundle["signer_key_id"].isNull() ||
            (bundle["signer_trusted"].toBool() && !bundle["signed"].toBool()))
            faults.push_back("a bundle's signer key ID is set exactly when it is signed, and only a signed one is trusted");
    }
    CheckArray(report["versions_read"], "versions_read",
               {{"script", IsStringOrNull},
                {"line", IsCount},
                {"command", OneOf({"T"})},
                {"component", IsString},
                {"expected", IsString},
                {"version", IsString}},
               faults);
    CheckArray(report["versions_written"], "versions_written",
               {{"script", IsStringOrNull},
                {"line", IsCount},
                {"command", OneOf({"V", "UV", "OP"})},
                {"component", IsStringOrNull},
                {"version", IsString}},
               faults);
    CheckArray(report["lines"], "lines",
               {{"script", IsStringOrNull},
                {"line", IsCount},
                {"text", IsString},
                {"start", IsTime},
                {"end", IsTime},
                {"sent", IsCount},
                {"retransmissions", IsCount},
                {"result", OneOf({"ok", "failed", "stopped"})},
                {"message", IsStringOrNull}},
               faults);
    CheckArray(report["skipped"], "skipped",
               {{"component", IsString}, {"reason", OneOf({"up to date", "unchecked", "card absent"})}}, faults);

    // What ties the fields together.
    if (report["start"].toString() > report["end"].toString())
        faults.push_back("the run ends before it starts");
    if ((report["result"].toString() == QStringLiteral("failed")) == report["failed_script"].isNull())
        faults.push_back("failed_script is set exactly when the run failed");
    for (const QJsonValue& line : report["lines"].toArray()) {
        if (line["script"].isNull() != (line["line"].toInt() == 0))
            faults.push_back("a line number without its script, or the other way round");
        if (line["start"].toString() > line["end"].toString())
            faults.push_back("a line ends before it starts");
        if ((line["result"].toString() == QStringLiteral("ok")) != line["message"].isNull() &&
            line["result"].toString() != QStringLiteral("stopped"))
            faults.push_back("a failed line without its message, or a message on a line that went well");
    }
    return faults;
}

int CheckReportsFollowTheSchema(const std::string& folder)
{
    int reports = 0;
    if (!std::filesystem::is_directory(folder))
        return reports;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".json")
            continue;
        ++reports;
        const std::string path = entry.path().string();
        std::filesystem::path log = entry.path();
        log.replace_extension(".log");
        EXPECT_TRUE(std::filesystem::exists(log)) << path;
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(ReadFile(path)), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << path << ": " << error.errorString().toStdString();
        for (const std::string& fault : ReportSchemaFaults(document.object()))
            ADD_FAILURE() << path << ": " << fault;
    }
    return reports;
}
