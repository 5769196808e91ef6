#include "Manifest.h"

#include "BundleFormat.h"
#include "BundleTexts.h"
#include "EntryName.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <set>

namespace {

constexpr std::size_t Sha256Digits = 64;

QString Text(const std::string& text) { return QString::fromStdString(text); }

bool IsSha256(const std::string& text)
{
    return text.size() == Sha256Digits && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

// A whole number that JSON carries exactly, from 0 to maximum.
bool WholeNumber(const QJsonValue& value, std::uint64_t maximum, std::uint64_t& number)
{
    if (!value.isDouble())
        return false;
    const double real = value.toDouble();
    if (real < 0 || real > static_cast<double>(maximum) || real != static_cast<double>(static_cast<std::uint64_t>(real)))
        return false;
    number = static_cast<std::uint64_t>(real);
    return true;
}

bool ParseFile(const QJsonValue& value, std::size_t index, TManifestFile& file, std::string& problem)
{
    const std::string number = std::to_string(index + 1);
    const QJsonObject object = value.toObject();
    const QJsonValue path = object[bundleformat::KeyPath];
    if (!value.isObject() || !path.isString()) {
        problem = FillText(bundletext::ManifestFileField, {number, bundleformat::KeyPath});
        return false;
    }
    file.Path = path.toString().toStdString();
    const std::string nameProblem = EntryNameProblem(file.Path);
    if (!nameProblem.empty()) {
        problem = FillText(bundletext::ManifestBadPath, {file.Path, nameProblem});
        return false;
    }
    if (file.Path == bundleformat::ManifestName || file.Path == bundleformat::SignatureName) {
        problem = FillText(bundletext::ManifestReservedPath, {file.Path});
        return false;
    }
    if (!WholeNumber(object[bundleformat::KeySize], bundleformat::MaxUnpackedBytes, file.Size)) {
        problem = FillText(bundletext::ManifestFileField, {file.Path, bundleformat::KeySize});
        return false;
    }
    const QJsonValue sha256 = object[bundleformat::KeySha256];
    file.Sha256 = sha256.toString().toStdString();
    if (!sha256.isString() || !IsSha256(file.Sha256)) {
        problem = FillText(bundletext::ManifestFileField, {file.Path, bundleformat::KeySha256});
        return false;
    }
    return true;
}

}  // namespace

std::string ManifestText(const TManifest& manifest)
{
    QJsonArray files;
    for (const TManifestFile& file : manifest.Files)
        files.append(QJsonObject{{bundleformat::KeyPath, Text(file.Path)},
                                 {bundleformat::KeySize, static_cast<qint64>(file.Size)},
                                 {bundleformat::KeySha256, Text(file.Sha256)}});
    const QJsonObject document{{bundleformat::KeyFormat, manifest.Format},
                               {bundleformat::KeyName, Text(manifest.Name)},
                               {bundleformat::KeyFiles, files}};
    return QJsonDocument(document).toJson(QJsonDocument::Indented).toStdString();
}

bool ParseManifest(std::string_view text, TManifest& manifest, std::string& problem)
{
    manifest = {};
    QJsonParseError error{};
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray(text.data(), static_cast<qsizetype>(text.size())), &error);
    if (error.error != QJsonParseError::NoError) {
        problem = FillText(bundletext::ManifestNotJson, {error.errorString().toStdString()});
        return false;
    }
    if (!document.isObject()) {
        problem = bundletext::ManifestNotObject;
        return false;
    }
    const QJsonObject object = document.object();
    std::uint64_t format = 0;
    if (!WholeNumber(object[bundleformat::KeyFormat], INT32_MAX, format)) {
        problem = FillText(bundletext::ManifestField, {bundleformat::KeyFormat});
        return false;
    }
    manifest.Format = static_cast<int>(format);
    if (manifest.Format != bundleformat::FormatVersion) {
        problem = FillText(bundletext::ManifestFormat, {std::to_string(manifest.Format)});
        return false;
    }
    const QJsonValue name = object[bundleformat::KeyName];
    const QJsonValue files = object[bundleformat::KeyFiles];
    for (const auto& [value, key] : {std::pair{name.isString(), bundleformat::KeyName},
                                     std::pair{files.isArray(), bundleformat::KeyFiles}})
        if (!value) {
            problem = FillText(bundletext::ManifestField, {key});
            return false;
        }
    manifest.Name = name.toString().toStdString();
    const QJsonArray list = files.toArray();
    if (static_cast<std::size_t>(list.size()) > bundleformat::MaxEntries) {
        problem = FillText(bundletext::TooManyEntries, {std::to_string(bundleformat::MaxEntries)});
        return false;
    }
    std::set<std::string> seen;
    for (qsizetype index = 0; index < list.size(); ++index) {
        TManifestFile file;
        if (!ParseFile(list[index], static_cast<std::size_t>(index), file, problem))
            return false;
        if (!seen.insert(file.Path).second) {
            problem = FillText(bundletext::ManifestPathTwice, {file.Path});
            return false;
        }
        manifest.Files.push_back(std::move(file));
    }
    return true;
}
