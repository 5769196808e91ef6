// Each programming engine offered any operation line and then fed any card
// replies, one per poll, with any data file beside it.
//
// Input: one byte choosing the engine (bits 0-1: boot loader, card check, PSD
// bank, JTAG; bit 2: the card has been identified; bit 3: the operation runs a
// second time with a byte of line noise in front of every reply, and must do
// exactly what it did on the clean line), the operation line up to
// "\n", the content of the data file "F" up to a zero byte, then the replies
// separated by 0xFF. The folder also holds a sub-folder "D", for lines that name
// a folder instead of a file.
#include "FuzzSupport.h"

#include "InstCourante.h"
#include "SvfTranslator.h"
#include "TestHost.h"
#include "progboot.h"
#include "progjtag.h"
#include "progpsd.h"
#include "textutil.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <type_traits>

namespace {

constexpr char ReplyEnd = '\xFF';
constexpr char ChecksumRecordType[] = "0C";
constexpr std::size_t RecordTypePos = 7;
constexpr int StepsPerReply = 4;
constexpr int StepsBeyondReplies = 64;
// A failed engine is stepped this many more times to show that it stays still.
constexpr int StepsWhenHalted = 3;
// Bytes a real line inserts that can begin no reply of any wait (ESC, which can
// begin the JTAG engine's, has tests of its own).
constexpr char NoiseBytes[] = {'\x00', '\x7F', '\x80', '\x9B', '\xC3', '\xFE'};

struct DataFiles {
    DataFiles() { std::filesystem::create_directory(Dir.Path() + "D"); }
    FuzzFolder Dir;
};

const std::string& DataFolder()
{
    static const DataFiles files;
    return files.Dir.Path();
}

constexpr char DataFile[] = "F";

void WriteDataFile(const std::string& content)
{
    std::ofstream file(DataFolder() + DataFile, std::ios::binary | std::ios::trunc);
    file << content;
}

// What a complete play of the data file does: the statements that send a
// record, and those among them whose captured bits the PC checks.
struct PlayShape {
    std::size_t Records = 0;
    std::size_t Captures = 0;
};

PlayShape ShapeOf(const std::string& content)
{
    PlayShape shape;
    SvfTranslator translator;
    for (const std::string& line : SplitTextLines(content)) {
        std::string record;
        translator.TranslateLine(line, record);
        if (record.empty() || record == TranslateError)
            continue;
        ++shape.Records;
        if (translator.GetScanCode() & ScanCapture)
            ++shape.Captures;
    }
    return shape;
}

// The file a "P8" line plays: what follows the selector.
bool PlaysDataFile(const std::string& line)
{
    const std::string selector = Trim(std::string_view(line).substr(1));
    return !selector.empty() && Trim(std::string_view(selector).substr(1)) == DataFile;
}

std::size_t IndexOf(const std::vector<std::string>& events, const std::string& prefix)
{
    const auto found = std::find_if(events.begin(), events.end(),
                                    [&](const std::string& event) { return event.rfind(prefix, 0) == 0; });
    return static_cast<std::size_t>(found - events.begin());
}

bool IsChecksumRecord(const std::string& sent)
{
    return sent.size() > RecordTypePos + 2 && sent[0] == ':' &&
           sent.compare(RecordTypePos, 2, ChecksumRecordType) == 0;
}

// An operation that ends without an error has done all of its work: every step
// of its progress scale (a play steps only for the lines that send a record),
// and the verification that closes an upload or a play.
template <typename Engine>
void CheckEnding(Engine& engine, const TestHost& host, bool play, const std::string& line, const std::string& content)
{
    const std::vector<std::string>& events = host.Events;
    const std::size_t error = IndexOf(events, "error:");
    if (error < events.size()) {
        Require(!engine.IsBusy(), "an engine that reports an error is no longer busy");
        Require(IndexOf(std::vector<std::string>(events.begin() + static_cast<std::ptrdiff_t>(error), events.end()),
                        "send:") == events.size() - error,
                "a halted engine sends nothing more");
        const std::size_t sent = host.Sent.size();
        for (int i = 0; i < StepsWhenHalted; ++i)
            engine.Step();
        Require(host.Sent.size() == sent && !engine.IsBusy(), "a failed operation stays ended until Reset");
        return;
    }
    if (engine.IsBusy() || host.Sent.empty())
        return;
    if (!host.EventsOf("max").empty())
        Require(play ? host.Progress <= engine.GetMaxProgress() : host.Progress == engine.GetMaxProgress(),
                "a finished operation has made every step of its progress scale");
    const std::string& first = host.Sent.front();
    const std::string& last = host.Sent.back();
    const bool upload = first == "PB" || (first.size() == 2 && first[0] == 'P' && first[1] >= '0' && first[1] <= '7');
    if (upload)
        Require(IsChecksumRecord(last), "a finished upload ends with its checksum record accepted");
    if (!play || first != "P8")
        return;
    Require(last == std::string(":00000001FF\r\n"), "a finished play ends with the end-of-file record");
    if (!PlaysDataFile(line))
        return;
    const PlayShape shape = ShapeOf(content);
    Require(static_cast<std::size_t>(host.Progress) == shape.Records, "a finished play has played every statement");
    // A card may still ask for a record again after its captured bits were
    // accepted: the scan runs again and its new capture is checked again.
    Require(static_cast<std::size_t>(std::count(host.Sent.begin(), host.Sent.end(), ".")) >= shape.Captures,
            "a finished play has accepted the captured bits of every scan with TDO");
}

// The events of the operation.
template <typename Engine>
std::vector<std::string> Exercise(Engine& engine, bool identified, const std::string& line, const std::string& content,
                                  const std::vector<std::string>& replies)
{
    constexpr bool play = std::is_same_v<Engine, TProgJtag>;
    TestHost host(engine);
    engine.SetCurentDir(DataFolder());
    engine.SetUpdateAllowed(identified);
    host.PollReplies.assign(replies.begin(), replies.end());

    engine.SetCommandLine(line);
    engine.Step();
    if (!engine.IsBusy()) {
        Require(host.Events.empty(), "an engine that does not take a line does nothing");
        return host.Events;
    }
    const int limit = StepsPerReply * static_cast<int>(replies.size()) + StepsBeyondReplies;
    for (int step = 0; engine.IsBusy() && step < limit; ++step)
        engine.Step();
    CheckEnding(engine, host, play, line, content);
    return host.Events;
}

std::vector<std::string> WithNoise(const std::vector<std::string>& replies)
{
    std::vector<std::string> noisy;
    for (const std::string& reply : replies)
        noisy.push_back(reply.empty() ? reply : NoiseBytes[noisy.size() % std::size(NoiseBytes)] + reply);
    return noisy;
}

// A fresh engine, made as the selector says, through the operation on the replies.
template <typename Engine>
std::vector<std::string> Fresh(bool identified, const std::string& line, const std::string& content,
                               const std::vector<std::string>& replies)
{
    Engine engine;
    std::uint32_t now = 0;
    if constexpr (std::is_same_v<Engine, TInstCrt> || std::is_same_v<Engine, TProgJtag>)
        engine.TickCount = [&now] { return now += 1000; };  // every pause is over at the next look
    return Exercise(engine, identified, line, content, replies);
}

template <typename Engine>
void CleanAndNoisy(bool identified, bool noisy, const std::string& line, const std::string& content,
                   const std::vector<std::string>& replies)
{
    const std::vector<std::string> clean = Fresh<Engine>(identified, line, content, replies);
    if (noisy)
        Require(Fresh<Engine>(identified, line, content, WithNoise(replies)) == clean,
                "noise in front of the replies changes nothing the engine does");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const std::uint8_t selector = input.Byte();
    const bool identified = (selector & 4) != 0;
    const std::string line = input.Until('\n');
    const std::string content = input.Until('\0');
    WriteDataFile(content);
    const std::vector<std::string> replies = input.Pieces(ReplyEnd);

    const bool noisy = (selector & 8) != 0;
    switch (selector & 3) {
    case 0: CleanAndNoisy<TProgBoot>(identified, noisy, line, content, replies); break;
    case 1: CleanAndNoisy<TInstCrt>(identified, noisy, line, content, replies); break;
    case 2: CleanAndNoisy<TProgPsd>(identified, noisy, line, content, replies); break;
    case 3: CleanAndNoisy<TProgJtag>(identified, noisy, line, content, replies); break;
    }
    return 0;
}
