#include "SvfTranslator.h"

#include "SvfWords.h"
#include "hex.h"
#include "textutil.h"

namespace {

// Statements are recognised only at the front of a line and case-sensitively.
constexpr char WordEnd = ' ';

struct TapState {
    std::string_view Name;
    std::string_view Code;
};
constexpr TapState TapStates[] = {
    {"RESET", "00"},    {"IDLE", "01"},      {"DRSELECT", "02"}, {"DRCAPTURE", "03"},
    {"DRSHIFT", "04"},  {"DREXIT1", "05"},   {"DRPAUSE", "06"},  {"DREXIT2", "07"},
    {"DRUPDATE", "08"}, {"IRSELECT", "09"},  {"IRCAPTURE", "0A"}, {"IRSHIFT", "0B"},
    {"IREXIT1", "0C"},  {"IRPAUSE", "0D"},   {"IREXIT2", "0E"},  {"IRUPDATE", "0F"},
};
// Where RUNTEST runs when it names no state.
constexpr std::string_view IdleCode = "01";

constexpr std::uint8_t RecordRunTest = 0x04;
constexpr std::uint8_t RecordState = 0x05;
constexpr std::uint8_t RecordEndIr = 0x06;
constexpr std::uint8_t RecordEndDr = 0x07;

// ScanCode: the low four bits tell SIR from SDR; the letter after the keyword
// chooses the flags S and E (a plain statement sets both, "C" neither).
constexpr std::int32_t ScanIr = 0x02;
constexpr std::int32_t ScanDr = 0x03;
constexpr std::int32_t ScanTypeBits = 0x0F;
constexpr std::int32_t ScanFlagS = 0x20;
constexpr std::int32_t ScanFlagE = 0x40;
constexpr std::int32_t ScanFill = 0x80;
constexpr char LetterC = 'C';
constexpr char LetterE = 'E';
constexpr char LetterS = 'S';

// A record's length field is one byte: longer data, or a longer stream
// announced by it, would reach the card truncated.
constexpr std::size_t MaxRecordDataBytes = 0xFF;

void StripLeft(std::string_view& text)
{
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ')
        text.remove_prefix(1);
}

bool TakePrefix(std::string_view& text, std::string_view prefix)
{
    if (!StartsWith(text, prefix))
        return false;
    text.remove_prefix(prefix.size());
    return true;
}

bool AtStatementEnd(std::string_view text) { return !text.empty() && text.front() == svf::StatementEnd; }

// The text up to the first space (all of it when there is none), taken from the front.
std::string_view TakeWord(std::string_view& text)
{
    const std::string_view word = text.substr(0, text.find(WordEnd));
    text.remove_prefix(word.size());
    return word;
}

// Scan lengths and run counts: the standard integer conversion, never negative.
bool ParseCount(std::string_view text, std::int32_t& value)
{
    return StrToInt32(text, value) && value >= 0;
}

std::string TranslateEndState(std::string_view rest, std::uint8_t recordType)
{
    std::string code;
    if (!ParseStateName(rest, code))
        return TranslateError;
    StripLeft(rest);
    if (!AtStatementEnd(rest))
        return TranslateError;
    return BuildHexRecord(recordType, 0, code);
}

// A statement cut short (a file truncated in the middle of it, or a statement
// written over several lines) is rejected: passing over it would report a play
// as done without it.
std::string TranslateState(std::string_view rest)
{
    std::string codes;
    StripLeft(rest);
    while (!rest.empty()) {
        std::string code;
        if (ParseStateName(rest, code))
            codes += code;
        else
            return AtStatementEnd(rest) ? BuildHexRecord(RecordState, 0, codes) : TranslateError;
        StripLeft(rest);
    }
    return TranslateError;
}

std::string TranslateRunTest(std::string_view rest)
{
    StripLeft(rest);
    std::string runState;
    if (!ParseStateName(rest, runState))
        runState = IdleCode;
    StripLeft(rest);
    std::int32_t count = 0;
    if (!ParseCount(TakeWord(rest), count))
        return TranslateError;
    StripLeft(rest);
    if (!TakePrefix(rest, svf::Tck))
        return TranslateError;
    StripLeft(rest);
    if (!AtStatementEnd(rest))
        return TranslateError;
    return BuildHexRecord(RecordRunTest, 0, LongToHex(static_cast<std::uint32_t>(count)) + runState);
}

}  // namespace

bool ParseStateName(std::string_view& text, std::string& code)
{
    StripLeft(text);
    code.clear();
    for (const TapState& state : TapStates) {
        if (TakePrefix(text, state.Name)) {
            code = state.Code;
            break;
        }
    }
    return !code.empty();
}

std::string ReverseHexBytes(std::string_view s)
{
    std::string reversed(s.size(), '\0');
    std::size_t out = 0;
    for (std::size_t end = s.size(); end > 0;) {
        const std::size_t begin = (end - 1) / 2 * 2;
        for (std::size_t digit = begin; digit < end; ++digit)
            reversed[out++] = s[digit];
        end = begin;
    }
    return reversed;
}

void AndHexMask(std::string_view mask, std::string& s)
{
    if (mask.size() != s.size())
        return;
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = HexDigit(HexValue(mask[i]) & HexValue(s[i]));
}

bool IsUniformHex(std::string_view s, char& c)
{
    c = s.empty() ? '\0' : s.front();
    return s.size() >= 2 && s.find_first_not_of(c) == std::string_view::npos;
}

void AppendHexSum(std::string& s)
{
    unsigned sum = 0;
    for (std::size_t i = 0; i + 1 < s.size(); i += 2)
        sum += HexValue(s[i]) * 16 + HexValue(s[i + 1]);
    s += ByteToHex(sum % 256);
}

void SvfTranslator::TranslateLine(std::string_view line, std::string& record)
{
    StreamPending = false;
    BitLength = 0;
    ScanCode = 0;
    Smask.clear();
    Mask.clear();
    Tdi.clear();
    Tdo.clear();

    StripLeft(line);
    if (StartsWith(line, svf::Comment) || StartsWith(line, svf::Trst))
        return;
    if (TakePrefix(line, svf::EndIr))
        record = TranslateEndState(line, RecordEndIr);
    else if (TakePrefix(line, svf::EndDr))
        record = TranslateEndState(line, RecordEndDr);
    else if (TakePrefix(line, svf::State))
        record = TranslateState(line);
    else if (TakePrefix(line, svf::RunTest))
        record = TranslateRunTest(line);
    else if (TakePrefix(line, svf::Sir))
        record = TranslateScan(line, ScanIr);
    else if (TakePrefix(line, svf::Sdr))
        record = TranslateScan(line, ScanDr);
    else
        record = TranslateError;
}

std::string SvfTranslator::TranslateScan(std::string_view rest, std::int32_t scanType)
{
    if (rest.empty())
        return TranslateError;
    switch (rest.front()) {
    case LetterC: ScanCode = scanType; break;
    case LetterE: ScanCode = scanType | ScanFlagE; break;
    case LetterS: ScanCode = scanType | ScanFlagS; break;
    default: ScanCode = scanType | ScanFlagS | ScanFlagE; break;
    }
    rest.remove_prefix(1);
    StripLeft(rest);
    std::int32_t length = 0;
    if (!ParseCount(TakeWord(rest), length) || length > MaxScanBits)
        return TranslateError;
    BitLength = length;
    StripLeft(rest);
    while (!rest.empty()) {
        if (std::string* field = FieldNamedAt(rest)) {
            StripLeft(rest);
            rest.remove_prefix(rest.empty() ? 0 : 1);  // the opening parenthesis, whatever it is
            const std::string_view text = rest.substr(0, rest.find(svf::GroupClose));
            *field = text;
            rest.remove_prefix(text.size() < rest.size() ? text.size() + 1 : text.size());
        } else if (AtStatementEnd(rest)) {
            return FinishScan();
        } else {
            return TranslateError;
        }
        StripLeft(rest);
    }
    return TranslateError;  // cut short, as a STATE statement can be
}

std::string* SvfTranslator::FieldNamedAt(std::string_view& rest)
{
    if (TakePrefix(rest, svf::Tdi))
        return &Tdi;
    if (TakePrefix(rest, svf::Tdo))
        return &Tdo;
    if (TakePrefix(rest, svf::Mask))
        return &Mask;
    if (TakePrefix(rest, svf::Smask))
        return &Smask;
    return nullptr;
}

std::string SvfTranslator::FinishScan()
{
    for (std::string* field : {&Tdi, &Tdo, &Mask, &Smask}) {
        // Half a byte has no place in the byte reversal, the sums or the length byte.
        if (field->size() % 2 != 0)
            return TranslateError;
        *field = svf::UpperCase(*field);
        // Bits beyond the scan would reach the card as part of it, or a mask
        // would compare bits the scan never captured.
        if (svf::SignificantBits(*field) > static_cast<std::size_t>(BitLength))
            return TranslateError;
        *field = ReverseHexBytes(*field);
    }
    if (!Smask.empty())
        AndHexMask(Smask, Tdi);
    if (!Tdo.empty())
        ScanCode |= ScanCapture;
    const auto address = static_cast<std::uint16_t>(BitLength);
    const auto type = static_cast<std::uint8_t>(ScanCode);

    if ((ScanCode & ScanTypeBits) != ScanDr) {
        if (Tdi.size() / 2 > MaxRecordDataBytes)
            return TranslateError;
        return BuildHexRecord(type, address, Tdi);
    }
    char fill = '\0';
    if (IsUniformHex(Tdi, fill)) {
        ScanCode |= ScanFill;
        return BuildHexRecord(static_cast<std::uint8_t>(ScanCode), address, std::string(2, fill));
    }
    AppendHexSum(Tdi);
    if (Tdi.size() > MaxRecordDataBytes)
        return TranslateError;
    StreamPending = true;
    return BuildHexRecord(type, address, ByteToHex(static_cast<std::uint32_t>(Tdi.size())));
}
