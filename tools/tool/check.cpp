// corvane-tool check STATE.json APPDIR: does the simulated card hold what the
// update in APPDIR should have written? One line per area the update writes
// (the extended boot, each bank its script uploads, the PROM its effect file
// programs), then the versions, the user version and the option code.
#include "commands.h"

#include "CardState.h"
#include "ExpectedUpdate.h"
#include "PromImage.h"
#include "constante.h"
#include "hex.h"

#include <iomanip>
#include <optional>
#include <ostream>

namespace {

constexpr char Match[] = "match";
constexpr char Mismatch[] = "MISMATCH";
constexpr int LabelWidth = 13;
constexpr int FileWidth = 22;
constexpr int SizeWidth = 11;

class Report {
public:
    explicit Report(std::ostream& out) : Out(out) {}

    void Line(const std::string& label, const std::string& what, const std::string& size, const std::string& verdict)
    {
        Out << std::left << std::setw(LabelWidth) << label << ' ' << std::setw(FileWidth) << what << ' '
            << std::right << std::setw(SizeWidth) << size << "  " << verdict << '\n';
        AllMatch = AllMatch && verdict == Match;
    }
    bool AllMatched() const { return AllMatch; }

private:
    std::ostream& Out;
    bool AllMatch = true;
};

std::string Count(std::size_t count, const std::string& unit)
{
    return std::to_string(count) + ' ' + unit + (count == 1 ? "" : "s");
}

std::string Mismatched(const std::string& detail) { return std::string(Mismatch) + ' ' + detail; }

void CheckArea(Report& report, const std::string& label, const ExpectedImage& expected, const CardFlashArea& card)
{
    if (!expected.Readable) {
        report.Line(label, expected.File, "", Mismatched("(cannot read the image)"));
        return;
    }
    const std::size_t size = expected.Image.WrittenIn(card.First, card.Last);
    std::string verdict = Match;
    for (std::uint32_t address = card.First; address <= card.Last; ++address) {
        const std::uint8_t held = card.Bytes[address - card.First];
        if (held != expected.Image.Bytes[address]) {
            verdict = Mismatched("at " + WordToHex(address) + " (card " + ByteToHex(held) + ", image " +
                                 ByteToHex(expected.Image.Bytes[address]) + ")");
            break;
        }
    }
    report.Line(label, expected.File, Count(size, "byte"), verdict);
}

void CheckProm(Report& report, const std::string& path, const std::string& file, const CardState& card)
{
    const std::string label = constante::CompSelProm1;
    PromImage prom;
    if (!prom.Play(path)) {
        report.Line(label, file, "", Mismatched("(" + prom.Problem() + ")"));
        return;
    }
    const std::string words = Count(prom.WordsWritten(), "word");
    if (card.JtagDevices.empty() || card.JtagDevices[0].Memory.size() != prom.Bytes().size()) {
        report.Line(label, file, words, Mismatched("(no device on the chain)"));
        return;
    }
    const std::optional<std::size_t> differs = prom.FirstDifferentWord(card.JtagDevices[0].Memory);
    const std::string verdict =
        differs ? Mismatched("at word " + WordToHex(static_cast<std::uint32_t>(*differs))) : std::string(Match);
    report.Line(label, file, words, verdict);
}

void CheckTexts(Report& report, const ExpectedUpdate& expected, const CardState& card)
{
    std::string versions;
    std::string verdict = Match;
    for (const auto& [component, version] : card.Versions)
        versions += (versions.empty() ? "" : " ") + std::string(1, component) + '=' + version;
    for (const auto& [component, version] : expected.Versions) {
        const auto held = card.Versions.find(component);
        if (held == card.Versions.end() || held->second != version) {
            verdict = Mismatched("(" + std::string(1, component) + " should be " + version + ")");
            break;
        }
    }
    report.Line("versions", versions, "", verdict);

    if (expected.UserVersion)
        report.Line("user version", card.UserVersion, "",
                    card.UserVersion == *expected.UserVersion ? Match
                                                              : Mismatched("(should be " + *expected.UserVersion + ")"));

    std::string option = constante::DefaultOptionCode;
    for (const constante::OptionCodeRow& row : constante::OptionCodeTable)
        if (row.DeviceId == card.DeviceId) {
            option = WordToHex(row.OptionCode);
            break;
        }
    report.Line("option code", card.OptionCode, "", card.OptionCode == option ? Match : Mismatched("(should be " + option + ")"));
}

}  // namespace

int RunCheck(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    if (args.size() != 2 || args[1].empty()) {
        err << "usage: corvane-tool check STATE.json APPDIR\n";
        return ExitUsage;
    }
    CardState card;
    ExpectedUpdate expected;
    std::string error;
    if (!ReadCardState(args[0], card, error) || !ReadExpectedUpdate(args[1], expected, error)) {
        err << "corvane-tool: " << error << "\n";
        return ExitFailure;
    }

    Report report(out);
    if (expected.Boot)
        CheckArea(report, "boot", *expected.Boot, card.Boot);
    for (const auto& [bank, image] : expected.Banks)
        CheckArea(report, "bank " + std::to_string(bank), image, card.Banks[static_cast<std::size_t>(bank)]);
    if (!expected.EffectFile.empty())
        CheckProm(report, expected.AppDir + expected.EffectFile, expected.EffectFile, card);
    CheckTexts(report, expected, card);
    return report.AllMatched() ? ExitSuccess : ExitFailure;
}
