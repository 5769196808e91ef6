#include "EffectFilePlan.h"

#include "SvfTranslator.h"
#include "TextLineReader.h"
#include "constante.h"

#include <filesystem>
#include <string_view>

using namespace constante;

namespace {

constexpr std::size_t OneReply = 1;
// The card's ESC "." that asks for the stream of the record it accepted.
constexpr std::size_t StreamRequest = 2;
// Captured bits come back as hex digits, two sum digits and ESC ".".
constexpr std::size_t CaptureFrame = 4;
constexpr std::uint64_t BitsPerByte = 8;

void AddRecord(const SvfTranslator& translator, const std::string& record, TPlanStep& step)
{
    ++step.Records;
    step.BytesToCard += record.size() + std::string_view(LineEnd).size();
    if (translator.IsStreamPending()) {
        ++step.Streams;
        step.BytesFromCard += StreamRequest;
        step.BytesToCard += translator.GetTdi().size();
    }
    if ((translator.GetScanCode() & ScanCapture) != 0) {
        const std::uint64_t capturedBytes =
            (static_cast<std::uint64_t>(translator.GetBitLength()) + BitsPerByte - 1) / BitsPerByte;
        step.BytesFromCard += 2 * capturedBytes + CaptureFrame;
        step.BytesToCard += OneReply;  // the engine's "." for bits that came with the right sum
    }
    step.BytesFromCard += OneReply;
}

void AddEndRecord(TPlanStep& step)
{
    ++step.Records;
    step.BytesToCard += std::string_view(EndOfFileRecord).size() + std::string_view(LineEnd).size();
    step.BytesFromCard += OneReply;
}

}  // namespace

void PlanEffectFile(const std::string& path, TPlanStep& step, std::vector<TPlanProblem>& problems)
{
    std::error_code error;
    const bool exists = std::filesystem::exists(path, error);
    if (!exists && !error) {
        problems.push_back({step.File, step.Line, path + FileNotFound});
        return;
    }
    TextLineReader reader;
    if (error || !reader.Open(path)) {
        problems.push_back({step.File, step.Line, ErrReadingEffectFile + path});
        return;
    }
    SvfTranslator translator;
    std::string line;
    std::string record;
    std::int32_t number = 0;
    while (reader.ReadLine(line)) {
        ++number;
        record.clear();
        translator.TranslateLine(line, record);
        if (record == TranslateError)
            problems.push_back({path, number, ErrEffectFileLine + std::to_string(number)});
        else if (!record.empty())
            AddRecord(translator, record, step);
    }
    if (reader.Failed()) {
        problems.push_back({path, number + 1, ErrReadingEffectLine + std::to_string(number + 1)});
        return;
    }
    if (number == 0) {
        problems.push_back({step.File, step.Line, ErrEffectFileEmpty});
        return;
    }
    AddEndRecord(step);
}
