// Vendor SVF files rewritten as effect files the card takes: one complete
// statement per line, in the part of SVF the translator knows.
//
// Statements written over several lines are joined, blanks are made single and
// hex digits upper case; "!" comments become "//" comments. What the card does
// not need goes: FREQUENCY once its value is known, headers and trailers of
// length 0. Every line says all it means, because the card carries nothing over
// from one statement to the next where SVF does: a scan writes its TDI (the
// bits SMASK leaves out sent as 0), and with a TDO its MASK, taken from an
// earlier scan of the same length when it gives none; a RUNTEST names its state,
// and its end state follows as a STATE line. A line thus means the same to the
// card and to any reader of SVF, and converting the output again changes
// nothing. Hex fields get exactly the digits of their scan length, and a
// RUNTEST in seconds becomes a TCK count at the known frequency. A statement the
// subset has no way to say stops the conversion.
#pragma once

#include "SvfTranslator.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class SvfConverter {
public:
    using LineWriter = std::function<void(const std::string& line)>;

    // frequencyHz: the TCK frequency that counts a RUNTEST given in seconds while
    // the file states no FREQUENCY of its own; 0 when none is known.
    explicit SvfConverter(LineWriter write, double frequencyHz = 0.0);

    // One line of the input, without its line end. False once a statement has no
    // effect-file form: Error() says why and ErrorLine() where it begins.
    bool AddLine(std::string_view line);
    // The end of the input; false when a statement was left without its ";".
    bool Finish();

    const std::string& Error() const { return ErrorText; }
    std::uint64_t ErrorLine() const { return ErrorAt; }
    std::uint64_t LinesWritten() const { return Written; }

private:
    // What an earlier scan of each kind leaves for the next one of the same length.
    struct ScanDefaults {
        std::int64_t Length = -1;
        std::string Tdi;
        std::string Mask;
        std::string Smask;
    };
    using Tokens = std::vector<std::string>;

    bool AddCode(std::string_view code);
    void WriteComment(std::string_view text);
    bool Statement(const std::string& text);
    bool Trst(const Tokens& tokens);
    bool EndState(const Tokens& tokens);
    bool State(const Tokens& tokens);
    bool Frequency(const Tokens& tokens);
    bool HeaderOrTrailer(const Tokens& tokens);
    bool Scan(const Tokens& tokens, ScanDefaults& defaults);
    bool RunTest(const Tokens& tokens);
    // The field of the scan written with exactly its digits; false when it says more than the scan holds.
    bool ScanField(const std::string& name, const std::string& group, std::int64_t length, std::string& digits);

    // Writes a statement, once the translator has shown that the card takes it.
    bool Emit(const std::string& line);
    bool Fail(std::string message);

    LineWriter Write;
    double OptionFrequency;
    double FileFrequency = 0.0;
    SvfTranslator Translator;

    std::uint64_t LineNumber = 0;
    std::uint64_t StatementLine = 0;  // where the statement being gathered begins
    std::string Pending;
    bool PendingHasText = false;

    std::string RunState;
    std::string RunEndState;
    ScanDefaults Ir;
    ScanDefaults Dr;

    std::string ErrorText;
    std::uint64_t ErrorAt = 0;
    std::uint64_t Written = 0;
};
