#include "EntryName.h"

#include "BundleTexts.h"

#include <QStringDecoder>

#include <algorithm>

namespace {

constexpr char Delimiter = '/';
constexpr unsigned char FirstPrintable = 0x20;
constexpr unsigned char Delete = 0x7F;

bool IsUtf8(std::string_view name)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    [[maybe_unused]] const QString decoded = decoder.decode(QByteArrayView(name.data(), static_cast<qsizetype>(name.size())));
    return !decoder.hasError();
}

}  // namespace

std::string EntryNameProblem(std::string_view name)
{
    if (name.empty())
        return bundletext::NameEmpty;
    if (name.front() == Delimiter)
        return bundletext::NameAbsolute;
    if (name.find('\\') != std::string_view::npos)
        return bundletext::NameBackslash;
    if (std::any_of(name.begin(), name.end(), [](char c) {
            const auto byte = static_cast<unsigned char>(c);
            return byte < FirstPrintable || byte == Delete;
        }))
        return bundletext::NameControl;
    // ".." is looked for in every part before an empty part is reported: "a//../b" leaves.
    bool emptyPart = false;
    for (std::size_t start = 0;;) {
        const std::size_t end = name.find(Delimiter, start);
        const std::string_view part = name.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (part == "..")
            return bundletext::NameLeaves;
        emptyPart = emptyPart || part.empty() || part == ".";
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    if (emptyPart)
        return bundletext::NameEmptyPart;
    if (!IsUtf8(name))
        return bundletext::NameNotUtf8;
    return {};
}
