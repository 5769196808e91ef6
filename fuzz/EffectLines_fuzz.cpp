// Effect-file lines of any content through the translator, and any captured-data
// reply through the JTAG engine's decoding.
//
// Input: the text of an effect file; each of its lines is also decoded as if the
// card had sent it as captured data.
#include "FuzzSupport.h"

#include "SvfTranslator.h"
#include "hex.h"
#include "progjtag.h"

#include <string>

namespace {

constexpr std::size_t RecordDataPos = 9;
constexpr std::size_t RecordFrameLength = 11;
constexpr std::size_t SumDigits = 2;

void CheckRecord(const SvfTranslator& translator, const std::string& record)
{
    Require(record[0] == ':', "a record starts with its record mark");
    const HexRecord fields = ParseHexRecord(record);
    Require(record.size() == RecordFrameLength + 2 * std::size_t{fields.Count},
            "a record's length matches its count, so the card can read it whole");
    Require(BuildHexRecord(fields.Type, fields.Address, record.substr(RecordDataPos, 2 * std::size_t{fields.Count})) ==
                record,
            "a record carries the checksum of its own fields");
    Require(((translator.GetScanCode() & ScanCapture) != 0) == !translator.GetTdo().empty(),
            "only a scan with TDO asks the card for its captured bits");
    Require(translator.GetTdo().size() % 2 == 0 && translator.GetMask().size() % 2 == 0,
            "expected data and mask are whole bytes");

    if (!translator.IsStreamPending())
        return;
    const std::string& stream = translator.GetTdi();
    Require(stream.size() >= SumDigits && stream.size() % 2 == 0 && stream.size() <= 0xFF,
            "a stream is whole bytes and its length fits the record's one byte");
    Require(fields.Count == 1 && static_cast<std::uint8_t>(fields.Data[0]) == stream.size(),
            "the record announces the stream's exact length");
    std::string resummed = stream.substr(0, stream.size() - SumDigits);
    AppendHexSum(resummed);
    Require(resummed == stream, "a stream ends with the sum of its data");
}

void CheckDecodedCapture(const std::string& reply)
{
    const std::string digits = TProgJtag::DecodeCapture(reply);
    Require(digits.size() <= 2 * reply.size(), "decoding at most doubles a reply");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    SvfTranslator translator;
    for (const std::string& line : SplitTextLines(input.All())) {
        std::string record;
        translator.TranslateLine(line, record);
        if (!record.empty() && record != TranslateError)
            CheckRecord(translator, record);
        else
            Require(!translator.IsStreamPending(), "a line that sends no record streams nothing");
        CheckDecodedCapture(line);
    }
    return 0;
}
