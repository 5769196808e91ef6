#include "SvfConverter.h"

#include "SvfWords.h"
#include "constante.h"
#include "hex.h"
#include "textutil.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

using namespace constante;

namespace {

using svf::GroupClose;
using svf::GroupOpen;
using svf::StatementEnd;
constexpr std::string_view CommentBang = "!";
constexpr char HexDigits[] = "0123456789ABCDEF";

// SVF statements the translator does not know.
constexpr std::string_view KeyFrequency = "FREQUENCY";
constexpr std::string_view HeadersAndTrailers[] = {"HIR", "HDR", "TIR", "TDR"};
constexpr std::string_view TrstLevelsWithoutReset[] = {"OFF", "Z", "ABSENT"};
constexpr std::string_view TrstOn = "ON";
constexpr std::string_view UnitHz = "HZ";
constexpr std::string_view UnitSck = "SCK";
constexpr std::string_view UnitSeconds = "SEC";
constexpr std::string_view KeyMaximum = "MAXIMUM";
constexpr std::string_view KeyEndState = "ENDSTATE";
// Where RUNTEST runs until a RUNTEST names another state.
constexpr std::string_view IdleState = "IDLE";

constexpr std::int64_t MaxRunCount = std::numeric_limits<std::int32_t>::max();
// Counts are read up to here, so that a count too big for the card is named as such.
constexpr double CountLimit = 1e15;
// A time times a frequency this close to a whole count is that count, not the next.
constexpr double CountTolerance = 1e-9;

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

// Runs of blanks and control characters as one blank.
std::string SingleBlanks(std::string_view text)
{
    std::string out;
    bool blank = false;
    for (const char c : text) {
        if (IsBlank(c)) {
            blank = true;
            continue;
        }
        if (blank && !out.empty())
            out += ' ';
        out += c;
        blank = false;
    }
    return out;
}

bool IsGroup(const std::string& token) { return !token.empty() && token.front() == GroupOpen; }

// Words, and parenthesised groups whose blanks (line ends of a long field) are dropped.
bool Tokenize(std::string_view text, std::vector<std::string>& tokens)
{
    std::size_t i = 0;
    while (i < text.size()) {
        if (IsBlank(text[i])) {
            ++i;
        } else if (text[i] == GroupOpen) {
            const std::size_t close = text.find(GroupClose, i);
            if (close == std::string_view::npos)
                return false;
            std::string group(1, GroupOpen);
            for (const char c : text.substr(i + 1, close - i - 1))
                if (!IsBlank(c))
                    group += c;
            tokens.push_back(group + GroupClose);
            i = close + 1;
        } else {
            const std::size_t start = i;
            while (i < text.size() && !IsBlank(text[i]) && text[i] != GroupOpen)
                ++i;
            tokens.push_back(std::string(text.substr(start, i - start)));
        }
    }
    return true;
}

bool IsStateName(const std::string& token)
{
    std::string_view rest = token;
    std::string code;
    return ParseStateName(rest, code) && rest.empty();
}

// SVF numbers: decimal, with a fraction and an exponent when they like ("1.00E-02").
bool ParseReal(const std::string& text, double& value)
{
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && ptr == end && std::isfinite(value) && value >= 0.0;
}

bool ParseCount(const std::string& text, std::int64_t& count)
{
    double value = 0.0;
    if (!ParseReal(text, value) || value != std::floor(value) || value > CountLimit)
        return false;
    count = static_cast<std::int64_t>(value);
    return true;
}

// Clock cycles that last at least the time.
std::int64_t CyclesFor(double seconds, double frequency)
{
    const double cycles = seconds * frequency;
    if (cycles > CountLimit)
        return MaxRunCount + 1;
    const double whole = std::nearbyint(cycles);
    if (std::fabs(cycles - whole) <= CountTolerance * std::max(1.0, cycles))
        return static_cast<std::int64_t>(whole);
    return static_cast<std::int64_t>(std::ceil(cycles));
}

std::size_t DigitsFor(std::int64_t length) { return static_cast<std::size_t>((length + 7) / 8 * 2); }

// Every bit of a scan of that length set, in the digits it is written with:
// the first byte, which holds the scan's last bits, only as far as the scan goes.
std::string AllOnes(std::int64_t length)
{
    std::string digits(DigitsFor(length), 'F');
    const auto pad = static_cast<int>(static_cast<std::int64_t>(digits.size()) * 4 - length);
    if (pad > 0) {
        const unsigned first = 0xFFu >> pad;
        digits[0] = HexDigit(first >> 4);
        digits[1] = HexDigit(first);
    }
    return digits;
}

}  // namespace

SvfConverter::SvfConverter(LineWriter write, double frequencyHz)
    : Write(std::move(write)), OptionFrequency(frequencyHz), RunState(IdleState), RunEndState(IdleState)
{
}

bool SvfConverter::AddLine(std::string_view line)
{
    ++LineNumber;
    if (!ErrorText.empty())
        return false;
    const std::size_t bang = line.find(CommentBang);
    const std::size_t slashes = line.find(svf::Comment);
    const std::size_t comment = std::min(bang, slashes);
    if (!AddCode(line.substr(0, comment)))
        return false;
    if (comment != std::string_view::npos)
        WriteComment(line.substr(comment + (comment == bang ? CommentBang.size() : svf::Comment.size())));
    return true;
}

bool SvfConverter::Finish()
{
    if (!ErrorText.empty())
        return false;
    return !PendingHasText || Fail(SvfNoEnd);
}

// Text of statements; a ";" ends one, and the text after it begins the next.
bool SvfConverter::AddCode(std::string_view code)
{
    for (;;) {
        const std::size_t end = code.find(StatementEnd);
        const std::string_view part = code.substr(0, end);
        if (!PendingHasText && std::any_of(part.begin(), part.end(), [](char c) { return !IsBlank(c); })) {
            PendingHasText = true;
            StatementLine = LineNumber;
        }
        Pending += ' ';
        Pending += part;
        if (end == std::string_view::npos)
            return true;
        if (PendingHasText && !Statement(svf::UpperCase(Pending)))
            return false;
        Pending.clear();
        PendingHasText = false;
        code.remove_prefix(end + 1);
    }
}

void SvfConverter::WriteComment(std::string_view text)
{
    const std::string single = SingleBlanks(text);
    const bool leadingBlank = !text.empty() && IsBlank(text.front());
    Write(std::string(svf::Comment) + (leadingBlank && !single.empty() ? " " : "") + single);
    ++Written;
}

bool SvfConverter::Statement(const std::string& text)
{
    Tokens tokens;
    if (!Tokenize(text, tokens))
        return Fail(FormatText(SvfUnreadable, SingleBlanks(text)));
    const std::string& keyword = tokens.front();
    if (keyword == svf::Trst)
        return Trst(tokens);
    if (keyword == svf::EndIr || keyword == svf::EndDr)
        return EndState(tokens);
    if (keyword == svf::State)
        return State(tokens);
    if (keyword == KeyFrequency)
        return Frequency(tokens);
    if (std::find(std::begin(HeadersAndTrailers), std::end(HeadersAndTrailers), keyword) !=
        std::end(HeadersAndTrailers))
        return HeaderOrTrailer(tokens);
    if (keyword == svf::Sir)
        return Scan(tokens, Ir);
    if (keyword == svf::Sdr)
        return Scan(tokens, Dr);
    if (keyword == svf::RunTest)
        return RunTest(tokens);
    return Fail(FormatText(SvfUnknownStatement, keyword));
}

// The card has no TRST line: a TRST that leaves the reset off says nothing to it.
bool SvfConverter::Trst(const Tokens& tokens)
{
    if (tokens.size() == 2 && tokens[1] == TrstOn)
        return Fail(SvfTrstOn);
    if (tokens.size() != 2 || std::find(std::begin(TrstLevelsWithoutReset), std::end(TrstLevelsWithoutReset),
                                        tokens[1]) == std::end(TrstLevelsWithoutReset))
        return Fail(FormatText(SvfUnreadable, tokens.front()));
    return Emit(tokens[0] + ' ' + tokens[1] + StatementEnd);
}

bool SvfConverter::EndState(const Tokens& tokens)
{
    if (tokens.size() != 2)
        return Fail(FormatText(SvfUnreadable, tokens.front()));
    if (!IsStateName(tokens[1]))
        return Fail(FormatText(SvfBadState, tokens[1]));
    return Emit(tokens[0] + ' ' + tokens[1] + StatementEnd);
}

bool SvfConverter::State(const Tokens& tokens)
{
    if (tokens.size() < 2)
        return Fail(FormatText(SvfUnreadable, tokens.front()));
    std::string line = tokens[0];
    for (std::size_t i = 1; i < tokens.size(); ++i) {
        if (!IsStateName(tokens[i]))
            return Fail(FormatText(SvfBadState, tokens[i]));
        line += ' ' + tokens[i];
    }
    return Emit(line + StatementEnd);
}

// Used for the RUNTEST statements that follow; the card runs TCK at its own pace.
bool SvfConverter::Frequency(const Tokens& tokens)
{
    if (tokens.size() == 1) {
        FileFrequency = 0.0;
        return true;
    }
    double frequency = 0.0;
    if (tokens.size() != 3 || tokens[2] != UnitHz)
        return Fail(FormatText(SvfUnreadable, tokens.front()));
    if (!ParseReal(tokens[1], frequency) || frequency <= 0.0)
        return Fail(FormatText(SvfBadNumber, tokens[1]));
    FileFrequency = frequency;
    return true;
}

bool SvfConverter::HeaderOrTrailer(const Tokens& tokens)
{
    std::int64_t length = 0;
    if (tokens.size() < 2 || !ParseCount(tokens[1], length))
        return Fail(FormatText(SvfUnreadable, tokens.front()));
    return length == 0 || Fail(FormatText(SvfHeaderTrailer, tokens[0] + ' ' + tokens[1]));
}

bool SvfConverter::Scan(const Tokens& tokens, ScanDefaults& defaults)
{
    std::int64_t length = 0;
    if (tokens.size() < 2 || !ParseCount(tokens[1], length))
        return Fail(FormatText(SvfUnreadable, tokens.front()));
    if (length > MaxScanBits)
        return Fail(FormatText(SvfScanTooLong, {tokens[1], std::to_string(MaxScanBits)}));
    const bool sameLength = defaults.Length == length;
    std::string tdi = sameLength ? defaults.Tdi : std::string();
    const std::string allOnes = AllOnes(length);
    std::string mask = sameLength ? defaults.Mask : allOnes;
    std::string smask = sameLength ? defaults.Smask : allOnes;
    std::string tdo;
    bool tdiGiven = sameLength;
    for (std::size_t i = 2; i < tokens.size(); i += 2) {
        if (i + 1 >= tokens.size() || !IsGroup(tokens[i + 1]))
            return Fail(FormatText(SvfUnreadable, tokens.front()));
        const std::string& name = tokens[i];
        std::string* field = name == svf::Tdi ? &tdi : name == svf::Tdo ? &tdo : name == svf::Mask ? &mask
                             : name == svf::Smask ? &smask : nullptr;
        if (field == nullptr)
            return Fail(FormatText(SvfUnreadable, tokens.front() + ' ' + name));
        if (!ScanField(name, tokens[i + 1], length, *field))
            return false;
        tdiGiven = tdiGiven || field == &tdi;
    }
    if (!tdiGiven && defaults.Length < 0)
        return Fail(FormatText(SvfNoTdiFirst, {tokens.front(), tokens.front()}));
    if (!tdiGiven)
        return Fail(FormatText(SvfNoTdiLength,
                               {tokens.front(), std::to_string(length), tokens.front(), std::to_string(defaults.Length)}));
    defaults = {length, tdi, mask, smask};

    // The bits SMASK leaves out are sent as 0, as the translator would send
    // them; written out, the line means the same to any reader of SVF.
    std::string sent = tdi;
    AndHexMask(smask, sent);
    std::string line = tokens[0] + ' ' + std::to_string(length) + ' ' + std::string(svf::Tdi) + " (" + sent + ')';
    if (!tdo.empty())
        line += ' ' + std::string(svf::Tdo) + " (" + tdo + ") " + std::string(svf::Mask) + " (" + mask + ')';
    return Emit(line + StatementEnd);
}

bool SvfConverter::ScanField(const std::string& name, const std::string& group, std::int64_t length,
                             std::string& digits)
{
    std::string given = group.substr(1, group.size() - 2);
    if (given.find_first_not_of(HexDigits) != std::string::npos)
        return Fail(FormatText(SvfBadHex, given));
    // A value wider than its scan says something the scan cannot carry; the
    // digits before the scan's own are then zeros, and go.
    if (svf::SignificantBits(given) > static_cast<std::size_t>(length))
        return Fail(FormatText(SvfHexTooLong, name));
    const std::size_t wanted = DigitsFor(length);
    if (given.size() > wanted)
        given.erase(0, given.size() - wanted);
    digits = std::string(wanted - given.size(), '0') + given;
    return true;
}

// RUNTEST [state] count TCK [time SEC] [MAXIMUM time SEC] [ENDSTATE state], or
// RUNTEST [state] time SEC [MAXIMUM time SEC] [ENDSTATE state]. A state named
// here is also the end state, until an ENDSTATE says otherwise.
bool SvfConverter::RunTest(const Tokens& tokens)
{
    const std::string unreadable = FormatText(SvfUnreadable, tokens.front());
    std::size_t i = 1;
    std::string runState = RunState;
    std::string endState = RunEndState;
    if (i < tokens.size() && IsStateName(tokens[i])) {
        runState = tokens[i];
        endState = tokens[i];
        ++i;
    }
    const auto unitAt = [&tokens](std::size_t at, std::string_view unit) {
        return at + 1 < tokens.size() && tokens[at + 1] == unit;
    };
    std::int64_t cycles = 0;
    double seconds = 0.0;
    bool counted = false;
    bool timed = false;
    double maximum = 0.0;
    if (unitAt(i, UnitSck))
        return Fail(SvfSystemClock);
    if (unitAt(i, svf::Tck)) {
        if (!ParseCount(tokens[i], cycles))
            return Fail(FormatText(SvfBadNumber, tokens[i]));
        counted = true;
        i += 2;
    }
    if (unitAt(i, UnitSeconds)) {
        if (!ParseReal(tokens[i], seconds))
            return Fail(FormatText(SvfBadNumber, tokens[i]));
        timed = true;
        i += 2;
    }
    if (!counted && !timed)
        return Fail(unreadable);
    // The card waits as long as it must and no longer: a MAXIMUM has nothing to say to it.
    if (i < tokens.size() && tokens[i] == KeyMaximum) {
        if (!unitAt(i + 1, UnitSeconds) || !ParseReal(tokens[i + 1], maximum))
            return Fail(unreadable);
        i += 3;
    }
    if (i < tokens.size() && tokens[i] == KeyEndState) {
        if (i + 1 >= tokens.size() || !IsStateName(tokens[i + 1]))
            return Fail(unreadable);
        endState = tokens[i + 1];
        i += 2;
    }
    if (i != tokens.size())
        return Fail(unreadable);
    if (timed) {
        const double frequency = FileFrequency > 0.0 ? FileFrequency : OptionFrequency;
        if (frequency <= 0.0)
            return Fail(SvfNoFrequency);
        cycles = std::max(cycles, CyclesFor(seconds, frequency));
    }
    if (cycles > MaxRunCount)
        return Fail(FormatText(SvfWaitTooLong, std::to_string(cycles)));
    RunState = runState;
    RunEndState = endState;
    if (!Emit(std::string(svf::RunTest) + ' ' + runState + ' ' + std::to_string(cycles) + ' ' + std::string(svf::Tck) +
              StatementEnd))
        return false;
    return endState == runState || Emit(std::string(svf::State) + ' ' + endState + StatementEnd);
}

bool SvfConverter::Emit(const std::string& line)
{
    std::string record;
    Translator.TranslateLine(line, record);
    if (record == TranslateError)
        return Fail(FormatText(SvfCardRefuses, line));
    Write(line);
    ++Written;
    return true;
}

bool SvfConverter::Fail(std::string message)
{
    ErrorText = std::move(message);
    ErrorAt = StatementLine;
    return false;
}
