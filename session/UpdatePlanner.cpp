#include "UpdatePlanner.h"

#include "EffectFilePlan.h"
#include "HexFileCheck.h"
#include "TextLineReader.h"
#include "constante.h"
#include "hex.h"
#include "textutil.h"

#include <filesystem>
#include <iterator>
#include <string_view>

using namespace constante;

namespace {

constexpr std::size_t Acknowledgement = 1;          // "."
constexpr std::size_t EraseAcknowledgements = 2;    // the command accepted, then the erase done
constexpr std::size_t JtagIdDigits = 8;             // one device on the chain
constexpr std::size_t TextLength = VersionReplyLength;  // the card reads version and option texts of this length

std::size_t Length(std::string_view text) { return text.size(); }

// A reply framed by "." on both sides, as the identifiers and a version come back.
std::size_t FramedReply(std::size_t characters) { return Acknowledgement + characters + Acknowledgement; }

// The firmware's answer to a command of the variable phase.
std::size_t VarReply(std::string_view name, std::uint32_t value)
{
    return name.size() + std::to_string(value).size() + Length(VarReplyLineEnd);
}

}  // namespace

TUpdatePlanner::TUpdatePlanner(const std::string& appDir, const std::string& scriptPath, TUpdatePlan& plan)
    : AppDir(appDir.empty() || appDir.back() == '/' ? appDir : appDir + '/'), Plan(plan)
{
    Plan.ScriptPath = scriptPath.empty() ? AppDir + MainScriptName : scriptPath;
    ScriptName = std::filesystem::path(Plan.ScriptPath).filename().string();
}

void TUpdatePlanner::Walk()
{
    const Origin run{Plan.ScriptPath, 0, AppDir};
    std::vector<std::string> lines;
    if (!LoadTextLines(Plan.ScriptPath, lines)) {
        Problem(run, Plan.ScriptPath + FileNotFound);
        return;
    }
    RunStart();
    MainScript(lines);
    RunEnd();
}

// ---- Scripts ----------------------------------------------------------------------------

void TUpdatePlanner::MainScript(const std::vector<std::string>& lines)
{
    for (std::size_t index = 0; index < lines.size(); ++index) {
        const Origin origin{Plan.ScriptPath, static_cast<std::int32_t>(index + 1), AppDir};
        const std::string line = Trim(lines[index]);
        if (StartsWith(line, PrefixMotherboard)) {
            Component(origin, MotherboardFolder);
        } else if (StartsWith(line, PrefixComponent)) {
            const std::string number = Trim(std::string_view(line).substr(1));
            const unsigned component = number.empty() ? std::size(ComponentFolders) : HexValue(number[0]);
            if (component < std::size(ComponentFolders))
                Component(origin, ComponentFolders[component]);
            else
                Problem(origin, SyntaxErrorLine + std::to_string(origin.Line));
        } else if (!line.empty() && !StartsWith(line, Remark)) {
            Operation(origin, line);
        }
    }
}

void TUpdatePlanner::Component(const Origin& origin, const std::string& folder)
{
    const std::string componentFolder = AppDir + folder;
    const std::string path = componentFolder + ScriptName;
    std::vector<std::string> lines;
    if (!LoadTextLines(path, lines)) {
        Problem(origin, path + FileNotFound);
        return;
    }
    for (std::size_t index = 0; index < lines.size(); ++index) {
        const std::string line = Trim(lines[index]);
        if (!line.empty() && !StartsWith(line, Remark))
            Operation({path, static_cast<std::int32_t>(index + 1), componentFolder}, line);
    }
}

// The card probe at the firmware's speed, then the boot loader's synchronisation.
void TUpdatePlanner::RunStart()
{
    const std::string handOverFirst = std::to_string(UpdaterHandOverFirst) + VarUpdaterWrite;
    const std::string handOverSecond = std::to_string(UpdaterHandOverSecond) + VarUpdaterWrite;
    const Origin run{Plan.ScriptPath, 0, AppDir};
    TPlanStep& probe = NewStep(run, std::string(VarDeviceQuery) + ' ' + handOverFirst + ' ' + handOverSecond);
    probe.Baud = VarPhaseBaud;
    Exchange(probe, Length(VarDeviceQuery), VarReply(VarDeviceReply, DeviceTypeCodes[0]));
    Exchange(probe, handOverFirst.size(), VarReply(VarUpdaterReply, UpdaterHandOverFirst));
    Exchange(probe, handOverSecond.size(), VarReply(VarUpdaterReply, UpdaterHandOverSecond));
    Operation(run, LineSync);
}

// The lines a run adds after the main script.
void TUpdatePlanner::RunEnd()
{
    const Origin run{Plan.ScriptPath, 0, AppDir};
    if (ScriptName == MainScriptName) {
        Operation(run, LineBootOption);
        Operation(run, LineOptionPrefix + std::string(DefaultOptionCode));
    }
    Operation(run, LineClosing);
}

// ---- Operations -------------------------------------------------------------------------

void TUpdatePlanner::Operation(const Origin& origin, const std::string& line)
{
    // The run's order; the engines' keywords do not overlap.
    if (Offer(Boot, origin, line, &TUpdatePlanner::BootOperation) ||
        Offer(Check, origin, line, &TUpdatePlanner::CheckOperation) ||
        Offer(Psd, origin, line, &TUpdatePlanner::BankOperation) ||
        Offer(Jtag, origin, line, &TUpdatePlanner::JtagOperation))
        return;
    Problem(origin, SyntaxErrorLine + std::to_string(origin.Line));
}

template <class Engine>
bool TUpdatePlanner::Offer(Engine& engine, const Origin& origin, const std::string& line, OperationPlan plan)
{
    engine.Reset();
    engine.SetUpdateAllowed(true);  // a run's synchronisation grants it before any script line
    engine.SetCurentDir(origin.Folder);
    engine.SetCommandLine(line);
    engine.Step();
    if (!engine.IsBusy())
        return false;
    engine.Step();
    const std::string error = engine.GetErrorText();
    engine.Reset();
    if (error.empty())
        (this->*plan)(origin, line);
    else
        Problem(origin, error);
    return true;
}

void TUpdatePlanner::BootOperation(const Origin& origin, const std::string& line)
{
    TPlanStep& step = NewStep(origin, line);
    if (StartsWith(line, LineSync)) {
        Exchange(step, Length(CmdSyncProbe), Acknowledgement);
        const std::string deviceType = std::to_string(DeviceTypeCodes[0]);
        // The type accepted, then the boot checksum and the device identifier up to their ".".
        Exchange(step, deviceType.size(), Acknowledgement + IdentificationReplyLength + Acknowledgement);
        return;
    }
    const std::string rest = Trim(std::string_view(line).substr(Length(CmdProgram)));
    const std::string nameAndSum = TrimLeft(std::string_view(rest).substr(Length(BootUploadLetter)));
    const std::string fileName = nameAndSum.substr(0, nameAndSum.find(' '));
    const std::string checksumText = Trim(std::string_view(nameAndSum).substr(fileName.size()));
    Exchange(step, Length(CmdBootUpload), EraseAcknowledgements);
    Upload(origin, step, origin.Folder + fileName, ExtendedBootFirst, ExtendedBootLast, checksumText,
           ErrBootFileEmpty);
}

void TUpdatePlanner::CheckOperation(const Origin& origin, const std::string& line)
{
    if (StartsWith(line, KeywordPrompt))
        return;  // shown in the status list, nothing sent
    if (StartsWith(line, KeywordWait)) {
        std::int32_t milliseconds = 0;
        StrToInt32(Trim(std::string_view(line).substr(Length(KeywordWait))), milliseconds);
        NewStep(origin, line).PauseMs = static_cast<std::uint32_t>(milliseconds);
        return;
    }
    TPlanStep& step = NewStep(origin, line);
    const std::size_t command = 2;  // every command of this engine is two characters
    const bool component = StartsWith(line, CmdVersionWrite) || StartsWith(line, CmdVersionTest);
    if (!component && !StartsWith(line, CmdUserVersion) && !StartsWith(line, CmdOption)) {
        Exchange(step, command, Acknowledgement);
        return;
    }
    // The text after the keyword, and after the component character for "V" and "T".
    std::string text = Trim(std::string_view(line).substr(component ? 1 : command));
    if (component)
        text = Trim(std::string_view(text).substr(1));
    if (StartsWith(line, CmdVersionTest)) {
        Exchange(step, command, FramedReply(VersionReplyLength));
    } else {
        Exchange(step, command, Acknowledgement);
        Exchange(step, text.size(), Acknowledgement);
    }
    CheckTextLength(origin, text, StartsWith(line, CmdOption) ? PlanOptionLength : PlanVersionLength);
}

void TUpdatePlanner::BankOperation(const Origin& origin, const std::string& line)
{
    TPlanStep& step = NewStep(origin, line);
    const std::string rest = Trim(std::string_view(line).substr(1));
    const std::size_t command = 2;  // the letter and the bank digit
    if (StartsWith(line, CmdIdentify)) {
        Exchange(step, command, FramedReply(McuIdReplyLength));
    } else if (StartsWith(line, CmdFunction)) {
        Exchange(step, command, Acknowledgement);
    } else {
        const bool low = rest[0] == '0';
        Exchange(step, command, EraseAcknowledgements);
        Upload(origin, step, origin.Folder + Trim(std::string_view(rest).substr(1)), low ? LowBankFirst : HighBankFirst,
               low ? LowBankLast : HighBankLast, {}, ErrBankFileEmpty);
    }
}

void TUpdatePlanner::JtagOperation(const Origin& origin, const std::string& line)
{
    TPlanStep& step = NewStep(origin, line);
    const std::size_t command = 2;  // the letter and the selector
    if (StartsWith(line, CmdIdentify)) {
        Exchange(step, command, FramedReply(JtagIdDigits));
    } else if (StartsWith(line, CmdFunction)) {
        Exchange(step, command, Acknowledgement);
    } else {
        Exchange(step, command, Acknowledgement);
        step.PauseMs = static_cast<std::uint32_t>(TProgJtag::DefaultPlayOpenPause.count());
        const std::string rest = Trim(std::string_view(line).substr(1));
        PlanEffectFile(origin.Folder + Trim(std::string_view(rest).substr(1)), step, Plan.Problems);
    }
}

// Every line goes with its line end and is acknowledged, the first line twice as
// the card expects; then the checksum record.
void TUpdatePlanner::Upload(const Origin& origin, TPlanStep& step, const std::string& path, std::uint16_t first,
                            std::uint16_t last, const std::string& checksumText, const char* emptyMessage)
{
    std::vector<std::string> lines;
    LoadTextLines(path, lines);  // the engine has found it readable
    if (lines.empty()) {
        Problem(origin, emptyMessage);
        return;
    }
    CheckHexFile(path, lines, first, last, Plan.Problems);
    const std::size_t lineEnd = Length(LineEnd);
    step.HexLines = lines.size() + 1;
    step.BytesToCard += lines.front().size() + lineEnd;
    for (const std::string& hexLine : lines)
        step.BytesToCard += hexLine.size() + lineEnd;
    step.BytesFromCard += step.HexLines * Acknowledgement;

    const std::string imageSum = WordToHex(HexImageChecksum(lines, first, last));
    if (!checksumText.empty() && checksumText != imageSum)
        Problem(origin, FormatText(FormatText(PlanChecksumDiffers, checksumText), imageSum));
    const std::string sum = checksumText.empty() ? imageSum : checksumText;
    ++step.ChecksumRecords;
    step.BytesToCard += BuildHexRecord(HexRecordChecksum, ChecksumRecordAddress, sum).size() + lineEnd;
    step.BytesFromCard += Acknowledgement;
}

void TUpdatePlanner::CheckTextLength(const Origin& origin, const std::string& text, const char* message)
{
    if (text.size() != TextLength)
        Problem(origin, FormatText(message, text));
}

// ---- Helpers ----------------------------------------------------------------------------

TPlanStep& TUpdatePlanner::NewStep(const Origin& origin, const std::string& operation)
{
    TPlanStep& step = Plan.Steps.emplace_back();
    step.File = origin.File;
    step.Line = origin.Line;
    step.Operation = operation;
    step.Baud = RawPhaseBaud;
    return step;
}

void TUpdatePlanner::Exchange(TPlanStep& step, std::size_t sent, std::size_t answer)
{
    ++step.Commands;
    step.BytesToCard += sent;
    step.BytesFromCard += answer;
}

void TUpdatePlanner::Problem(const Origin& origin, std::string message)
{
    Plan.Problems.push_back({origin.File, origin.Line, std::move(message)});
}
