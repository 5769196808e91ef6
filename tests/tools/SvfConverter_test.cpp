// Vendor SVF statements as the effect-file lines the card takes, and the
// statements that have no such form, named by the line where they begin.
#include "SvfConverter.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using Lines = std::vector<std::string>;

struct Conversion {
    Lines Out;
    bool Done = false;
    std::uint64_t ErrorLine = 0;
    std::string Error;
};

Conversion Convert(const std::string& text, double frequency = 0.0)
{
    Conversion result;
    SvfConverter converter([&result](const std::string& line) { result.Out.push_back(line); }, frequency);
    std::istringstream input(text);
    bool going = true;
    for (std::string line; going && std::getline(input, line);)
        going = converter.AddLine(line);
    result.Done = going && converter.Finish();
    result.ErrorLine = converter.ErrorLine();
    result.Error = converter.Error();
    return result;
}

std::string Joined(const Lines& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + '\n';
    return text;
}

const std::string VendorStatements =
    "! Vendor header\n"
    "FREQUENCY 1.00E+06 HZ;\n"
    "HIR 0; HDR 0 ;\n"
    "TIR\t0;\n"
    "TRST OFF;\n"
    "ENDIR IRPAUSE;\n"
    "sir 8 tdi (e0);     ! idcode\n"
    "SDR\t32\tTDI  (00000000)\n"
    "\t\tTDO  (21111043)\n"
    "\t\tMASK (0fffffff);\n"
    "SDR 32 TDI (00000000) TDO (21111043);\n"
    "SDR 32 TDO (00000000);\n"
    "SDR 13 TDI (1fff) SMASK (0FF0);\n"
    "SIR 6 TDI (3) TDO (01);\n"
    "RUNTEST IDLE 2 TCK 1.00E-02 SEC;\n"
    "RUNTEST DRPAUSE 1.5E-3 SEC MAXIMUM 1 SEC ENDSTATE IDLE;\n"
    "RUNTEST 100 TCK;\n"
    "STATE RESET  IDLE; // reset\n";

}  // namespace

TEST(SvfConverter, WritesEachStatementWhole)
{
    const Conversion conversion = Convert(VendorStatements);
    ASSERT_TRUE(conversion.Done) << conversion.ErrorLine << ": " << conversion.Error;
    EXPECT_EQ(conversion.Out,
              (Lines{"// Vendor header", "TRST OFF;", "ENDIR IRPAUSE;", "SIR 8 TDI (E0);", "// idcode",
                     "SDR 32 TDI (00000000) TDO (21111043) MASK (0FFFFFFF);",
                     // TDI and MASK of the earlier scan of the same length
                     "SDR 32 TDI (00000000) TDO (21111043) MASK (0FFFFFFF);",
                     "SDR 32 TDI (00000000) TDO (00000000) MASK (0FFFFFFF);",
                     // the bits SMASK leaves out sent as 0
                     "SDR 13 TDI (0FF0);",
                     // two bits beyond the scan: not the card's to match
                     "SIR 6 TDI (03) TDO (01) MASK (3F);",
                     // the longer of 2 TCK and 10 ms at 1 MHz
                     "RUNTEST IDLE 10000 TCK;", "RUNTEST DRPAUSE 1500 TCK;", "STATE IDLE;",
                     // the state and end state of the previous RUNTEST
                     "RUNTEST DRPAUSE 100 TCK;", "STATE IDLE;", "STATE RESET IDLE;", "// reset"}));
}

TEST(SvfConverter, OutputTranslatesAndConvertsToItself)
{
    const Conversion first = Convert(VendorStatements);
    for (const std::string& line : first.Out) {
        std::string record;
        SvfTranslator().TranslateLine(line, record);
        EXPECT_NE(record, TranslateError) << line;
    }
    const Conversion second = Convert(Joined(first.Out));
    EXPECT_TRUE(second.Done) << second.Error;
    EXPECT_EQ(second.Out, first.Out);
}

TEST(SvfConverter, FrequencyOfTheFileOrOfTheCaller)
{
    EXPECT_EQ(Convert("RUNTEST 1E-3 SEC;\n", 2e6).Out, Lines{"RUNTEST IDLE 2000 TCK;"});
    EXPECT_EQ(Convert("FREQUENCY 1E5 HZ;\nRUNTEST 1E-3 SEC;\n", 2e6).Out, Lines{"RUNTEST IDLE 100 TCK;"});
    // "FREQUENCY;" takes the file's own frequency back.
    EXPECT_EQ(Convert("FREQUENCY 1E5 HZ;\nFREQUENCY;\nRUNTEST 1E-3 SEC;\n", 2e6).Out,
              Lines{"RUNTEST IDLE 2000 TCK;"});
    // A time that is not a whole count of cycles waits the cycle it began.
    EXPECT_EQ(Convert("RUNTEST 1.0000001E-3 SEC;\n", 1e6).Out, Lines{"RUNTEST IDLE 1001 TCK;"});
}

TEST(SvfConverter, StatementsWithoutAnEffectFileFormStopAtTheirFirstLine)
{
    struct Case {
        std::string Text;
        std::uint64_t Line;
        std::string Error;
    };
    const Case cases[] = {
        {"SIR 8 TDI (00);\nSDR 600\n TDI (00);\n", 2, "scan of 600 bits, the card takes at most 512"},
        {"HIR 8 TDI (FF);\n", 1, "HIR 8: the card has no header or trailer bits"},
        {"TDR 1;\n", 1, "TDR 1: the card has no header or trailer bits"},
        {"RUNTEST 1E-3 SEC;\n", 1, "RUNTEST in seconds, and no FREQUENCY to count them in TCK (--frequency HZ)"},
        {"RUNTEST 10 SCK;\n", 1, "RUNTEST in SCK, the card clocks TCK only"},
        {"RUNTEST 3000000000 TCK;\n", 1, "RUNTEST of 3000000000 TCK, the card counts at most 2147483647"},
        {"RUNTEST IDLE;\n", 1, "cannot read the statement : RUNTEST"},
        {"PIO (HLX);\n", 1, "PIO: the card has no such statement"},
        {"TRST ON;\n", 1, "TRST ON: the card has no TRST line"},
        {"SDR 8 TDI (00);\nSDR 16 TDO (0012);\n", 2, "SDR of 16 bits without TDI, and the SDR before it is of 8 bits"},
        {"SIR 16 TDI (00);\nSDR 16 TDO (0012);\n", 2, "SDR without TDI, and no SDR before it whose TDI it could repeat"},
        {"SIR 8 TDI (1FF);\n", 1, "TDI holds more bits than the scan"},
        {"SDR 6 TDI (FF);\n", 1, "TDI holds more bits than the scan"},
        {"SIR 5 TDI (FF);\n", 1, "TDI holds more bits than the scan"},
        {"SDR 6 TDI (00) TDO (40);\n", 1, "TDO holds more bits than the scan"},
        {"SDR 6 TDI (00) TDO (00) MASK (FF);\n", 1, "MASK holds more bits than the scan"},
        {"SDR 6 TDI (00) SMASK (7F);\n", 1, "SMASK holds more bits than the scan"},
        {"SIR 8 TDI (0G);\n", 1, "not hex digits : 0G"},
        {"STATE IDLE FOO;\n", 1, "not a TAP state : FOO"},
        {"FREQUENCY -1 HZ;\n", 1, "not a number : -1"},
        {"SDR 8 TDI (00\n", 1, "statement without its \";\""},
        {"SDR 8 TDI (00;\n", 1, "cannot read the statement : SDR 8 TDI (00"},
    };
    for (const Case& c : cases) {
        const Conversion conversion = Convert(c.Text);
        EXPECT_FALSE(conversion.Done) << c.Text;
        EXPECT_EQ(conversion.ErrorLine, c.Line) << c.Text;
        EXPECT_EQ(conversion.Error, c.Error) << c.Text;
    }
}
