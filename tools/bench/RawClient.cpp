#include "RawClient.h"

#include "SvfTranslator.h"
#include "TextLineReader.h"
#include "constante.h"
#include "hex.h"

using namespace constante;

namespace {

constexpr char PlayAnswers[] = {ReplyAccepted, ReplyFailed, ReplyRepeat, ReplyUnknown};
const std::string Dot(1, ReplyAccepted);
const std::string StreamReady = std::string(1, ReplyEscape) + ReplyAccepted;

// Up to and including the first character that ends an answer.
std::size_t AnswerLength(std::string_view received)
{
    const std::size_t at = received.find_first_of(std::string_view(PlayAnswers, std::size(PlayAnswers)));
    return at == std::string_view::npos ? 0 : at + 1;
}

}  // namespace

bool TranslateEffectFile(const std::string& path, std::vector<PlayRecord>& records, std::string& error)
{
    TextLineReader file;
    if (!file.Open(path)) {
        error = "cannot read " + path;
        return false;
    }
    SvfTranslator translator;
    std::string line;
    for (std::int64_t number = 1; file.ReadLine(line); ++number) {
        std::string record;
        translator.TranslateLine(line, record);
        if (record.empty())
            continue;
        if (record == TranslateError) {
            error = path + " line " + std::to_string(number) + " cannot be played";
            return false;
        }
        records.push_back({record, translator.IsStreamPending() ? translator.GetTdi() : std::string(),
                           (translator.GetScanCode() & ScanCapture) != 0});
    }
    if (file.Failed()) {
        error = "cannot read " + path;
        return false;
    }
    return true;
}

bool RawClient::HandOver()
{
    std::string reply;
    for (const std::string& command :
         {std::string(VarDeviceQuery), std::to_string(UpdaterHandOverFirst) + VarUpdaterWrite,
          std::to_string(UpdaterHandOverSecond) + VarUpdaterWrite}) {
        if (!Exchange(command) || !Link.ReceiveThrough('\n', reply))
            return Fail("no answer to " + command);
    }
    return true;
}

bool RawClient::Synchronise()
{
    std::string identification;
    if (!Link.Send(CmdSyncProbe) || !Accepted(Dot))
        return Fail("the boot loader does not answer " + std::string(CmdSyncProbe));
    if (!Exchange(std::to_string(DeviceTypeCodes[0])) || !Accepted(Dot) ||
        !Link.ReceiveThrough(ReplyAccepted, identification))
        return Fail("the boot loader refuses device type " + std::to_string(DeviceTypeCodes[0]));
    return true;
}

bool RawClient::Upload(const std::string& command, const std::vector<std::string>& lines, std::uint16_t first,
                       std::uint16_t last)
{
    if (lines.empty())
        return Fail(command + ": no lines");
    if (!Exchange(command) || !Accepted(Dot) || !Accepted(Dot))
        return Fail(command + ": no erase");
    if (!Exchange(lines.front() + LineEnd) || !Accepted(Dot))
        return Fail(command + ": line 1 refused");
    for (std::size_t index = 0; index < lines.size(); ++index)
        if (!Exchange(lines[index] + LineEnd) || !Accepted(Dot))
            return Fail(command + ": line " + std::to_string(index + 1) + " refused");
    const std::string sum = WordToHex(HexImageChecksum(lines, first, last));
    if (!Exchange(BuildHexRecord(HexRecordChecksum, ChecksumRecordAddress, sum) + LineEnd) || !Accepted(Dot))
        return Fail(command + ": checksum refused");
    return true;
}

bool RawClient::WriteText(const std::string& command, const std::string& text)
{
    if (!Exchange(command) || !Accepted(Dot) || !Exchange(text) || !Accepted(Dot))
        return Fail(command + " " + text + " refused");
    return true;
}

bool RawClient::Command(const std::string& command)
{
    if (!Exchange(command) || !Accepted(Dot))
        return Fail(command + " refused");
    return true;
}

bool RawClient::Play(const std::vector<PlayRecord>& records)
{
    if (!Command(CmdProgram + std::string(1, JtagSelector)))
        return false;
    std::string captured;
    for (std::size_t index = 0; index < records.size(); ++index) {
        const PlayRecord& record = records[index];
        bool done = Exchange(record.Record + LineEnd);
        if (done && !record.Stream.empty())
            done = Accepted(StreamReady) && Exchange(record.Stream);
        if (done && record.Capture)
            done = Link.ReceiveThrough(ReplyAccepted, captured) && captured.size() >= 2 &&
                   captured[captured.size() - 2] == ReplyEscape && Exchange(Dot);
        if (!done || !Accepted(Dot))
            return Fail("record " + std::to_string(index + 1) + " failed: " + record.Record);
    }
    return Command(std::string(EndOfFileRecord) + LineEnd);
}

bool RawClient::Exchange(const std::string& text)
{
    ++Sent;
    return Link.Send(text);
}

bool RawClient::Accepted(const std::string& acceptance)
{
    std::string answer;
    return Link.Receive(AnswerLength, answer) && answer == acceptance;
}

bool RawClient::Fail(const std::string& what)
{
    if (Error.empty())
        Error = what;
    return false;
}
