#include "SvfTranslator.h"


#include <gtest/gtest.h>

namespace {

struct Case {
    std::string Line;
    std::string Record;  // empty: the line is skipped
};

std::string Translate(SvfTranslator& translator, const std::string& line)
{
    std::string record;
    translator.TranslateLine(line, record);
    return record;
}

void ExpectRecords(const std::vector<Case>& cases)
{
    SvfTranslator translator;
    for (const Case& c : cases)
        EXPECT_EQ(Translate(translator, c.Line), c.Record) << c.Line;
}

}  // namespace

TEST(SvfTranslator, WorkedExamples)
{
    SvfTranslator t;
    EXPECT_EQ(Translate(t, "SIR 8 TDI (FE);"), ":01000862FE97");
    EXPECT_FALSE(t.IsStreamPending());
    EXPECT_EQ(Translate(t, "SDR 32 TDI (00000000);"), ":010020E300FC");
    EXPECT_EQ(t.GetScanCode(), 0xE3);
    EXPECT_EQ(Translate(t, "SDR 16 TDI (1234);"), ":010010630686");
    EXPECT_TRUE(t.IsStreamPending());
    EXPECT_EQ(t.GetTdi(), "341246");
    EXPECT_EQ(Translate(t, "SDR 32 TDI (00000000) TDO (12345678) MASK (FFFFFFFF);"), ":010020F300EC");
    EXPECT_EQ(t.GetTdo(), "78563412");
    EXPECT_EQ(t.GetMask(), "FFFFFFFF");
    EXPECT_EQ(t.GetBitLength(), 32);
    EXPECT_EQ(Translate(t, "RUNTEST 100 TCK;"), ":05000004000000640192");
    EXPECT_EQ(Translate(t, "RUNTEST DRPAUSE 5 TCK;").substr(9, 10), "0000000506");
    EXPECT_EQ(Translate(t, "STATE RESET IDLE;"), ":020000050001F8");
    EXPECT_EQ(Translate(t, "STATE;"), ":00000005FB");
    EXPECT_EQ(Translate(t, "ENDDR IDLE;"), ":0100000701F7");
    EXPECT_EQ(Translate(t, "// any text"), "");
    EXPECT_EQ(Translate(t, "TRST OFF;"), "");
    EXPECT_EQ(Translate(t, "SIR 8 TDI (FE); // note"), ":01000862FE97");
    EXPECT_EQ(Translate(t, "SIR 8 TDI (fe);"), ":01000862FE97");
    EXPECT_EQ(Translate(t, "sir 8 tdi (fe);"), "Error");
    EXPECT_EQ(Translate(t, "FREQUENCY 1E6 HZ;"), "Error");
}

TEST(SvfTranslator, UnsupportedOrMalformedStatementsAreErrors)
{
    ExpectRecords({
        {"", "Error"},
        {" \t ", "Error"},
        {"! vendor comment", "Error"},
        {"HIR 0;", "Error"},
        {"TDR 0;", "Error"},
        {"PIO (HLUDXZ);", "Error"},
        {"SIR 513 TDI (FE);", "Error"},
        {"SIR -8 TDI (FE);", "Error"},
        {"SIR", "Error"},
        {"SDR", "Error"},
        {"SDR 8 TDI (FFF);", "Error"},         // half a byte
        {"SDR 8 TDI (FF) TDO (1);", "Error"},
        {"SDR 8 TDI (FF) ENDSTATE IDLE;", "Error"},
        {"SIR 8;", "Error"},                   // the length runs into the ";"
        {"RUNTEST 100 SCK;", "Error"},
        {"RUNTEST 1E-3 SEC;", "Error"},
        {"RUNTEST 100 TCK ENDSTATE IDLE;", "Error"},
        {"RUNTEST IDLE 100 TCK 1E-3 SEC;", "Error"},
        {"RUNTEST MAXIMUM 1 SEC;", "Error"},
        {"RUNTEST -1 TCK;", "Error"},
        {"RUNTEST $FFFFFFFF TCK;", "Error"},
        {"RUNTEST 100 TCK", "Error"},
        {"ENDIR IDLE", "Error"},
        {"ENDDR IDLEX;", "Error"},
        {"ENDIR;", "Error"},
        {"STATE RESET, IDLE;", "Error"},
    });
}

// A statement cut short by a truncated file must not be passed over as if it
// had been played.
TEST(SvfTranslator, UnterminatedStatementsAreRejected)
{
    ExpectRecords({
        {"STATE RESET IDLE", "Error"},
        {"STATE", "Error"},
        {"SIR 8 TDI (FE)", "Error"},
        {"SDR 16 TDI (1234", "Error"},
        {"SDR 16 TDI", "Error"},
        {"SDR 32 TDI (00000000) TDO (0C0D", "Error"},
    });
}

TEST(SvfTranslator, ScanLengthsAndRunCounts)
{
    SvfTranslator t;
    EXPECT_EQ(Translate(t, "SIR 512 TDI (FE);"), ":01020062FE9D");
    EXPECT_EQ(t.GetBitLength(), 512);
    EXPECT_EQ(Translate(t, "SIR $10 TDI (FE);").substr(3, 4), "0010");
    EXPECT_EQ(Translate(t, "SIR 0x10 TDI (FE);").substr(3, 4), "0010");
    EXPECT_EQ(Translate(t, "RUNTEST 2147483647 TCK;").substr(9, 10), "7FFFFFFF01");
    EXPECT_EQ(Translate(t, "RUNTEST 2147483648 TCK;"), "Error");
    EXPECT_EQ(Translate(t, "RUNTEST IRPAUSE $FF TCK ;").substr(9, 10), "000000FF0D");
    EXPECT_EQ(Translate(t, "  RUNTEST   7   TCK   ;"), ":050000040000000701EF");
}

TEST(SvfTranslator, ScanFlagsFillsAndStreams)
{
    SvfTranslator t;
    EXPECT_EQ(Translate(t, "SIRC 8 TDI (FE);").substr(7, 2), "02");
    EXPECT_EQ(Translate(t, "SIRE 8 TDI (FE);").substr(7, 2), "42");
    EXPECT_EQ(Translate(t, "SIRS 8 TDI (FE) TDO (01);").substr(7, 2), "32");
    EXPECT_EQ(Translate(t, "SDRC 16 TDI (FFFF) TDO (0000);").substr(7, 4), "93FF");

    // One byte is not a fill; it is streamed with its sum.
    EXPECT_EQ(Translate(t, "SDR 8 TDI (0F);").substr(7, 4), "6304");
    EXPECT_EQ(t.GetTdi(), "0F0F");
    // No TDI at all streams only the sum of nothing.
    EXPECT_EQ(Translate(t, "SDR 8 TDO (00);").substr(7, 4), "7302");
    EXPECT_EQ(t.GetTdi(), "00");
    EXPECT_TRUE(t.IsStreamPending());
    // SMASK clears TDI bits before the fill test.
    EXPECT_EQ(Translate(t, "SDR 8 TDI (FF) SMASK (0F);").substr(7, 4), "6304");
    EXPECT_EQ(t.GetTdi(), "0F0F");
    EXPECT_EQ(Translate(t, "SDR 16 TDI (1234) SMASK (0000);").substr(7, 4), "E300");
    // A SMASK or MASK of another length masks nothing.
    Translate(t, "SDR 16 TDI (FF00) SMASK (0F) TDO (1234) MASK (FF);");
    EXPECT_EQ(t.GetTdi(), "00FFFF");
    EXPECT_EQ(t.GetMask(), "FF");
    // A later field of the same name replaces the earlier one.
    Translate(t, "SDR 16 TDI (1111) TDI (1234);");
    EXPECT_EQ(t.GetTdi(), "341246");
    // Each statement starts afresh: nothing carries over from the one before.
    EXPECT_EQ(Translate(t, "SIR 8;"), "Error");
    EXPECT_EQ(t.GetTdi(), "");
    EXPECT_FALSE(t.IsStreamPending());
}

TEST(SvfTranslator, FieldsAreTakenAsWritten)
{
    SvfTranslator t;
    // A blank inside the parentheses stays in the field and reads as 0.
    EXPECT_EQ(Translate(t, "SDR 16 TDI (1 34);").substr(7, 4), "6306");
    EXPECT_EQ(t.GetTdi(), "341 44");
    // More digits than the scan needs travel as written, as long as the value fits the scan.
    EXPECT_EQ(Translate(t, "SIR 12 TDI (0102);"), ":02000C6202018D");
    EXPECT_EQ(Translate(t, "SDR 8 TDI (00FF);").substr(7, 4), "6306");
    // A value with bits beyond its scan would reach the card as part of it, a
    // mask would compare bits never captured.
    for (const char* wider : {"SDR 6 TDI (FF);", "SIR 5 TDI (FF);", "SIR 4 TDI (0102);", "SDR 6 TDI (3F) TDO (40);",
                              "SDR 6 TDI (3F) TDO (00) MASK (FF);", "SDR 6 TDI (3F) SMASK (7F);", "SDR 0 TDI (01);"})
        EXPECT_EQ(Translate(t, wider), "Error") << wider;
    EXPECT_EQ(Translate(t, "SDR 6 TDI (3F) TDO (00) MASK (3f);").substr(7, 4), "7304");
    // A record cannot announce more than 255 bytes.
    EXPECT_EQ(Translate(t, "SDR 512 TDI (" + std::string(124, '0') + std::string(127, '1') + "2);").substr(3, 8),
              "020063FE");
    EXPECT_EQ(Translate(t, "SDR 512 TDI (" + std::string(126, '0') + std::string(127, '1') + "2);"), "Error");
    EXPECT_EQ(Translate(t, "SIR 512 TDI (" + std::string(384, '0') + std::string(128, '1') + ");"), "Error");
}

// What the translations above do not reach: half bytes (an identifier reply
// from the card may have one) and the sum's carry.
TEST(SvfTranslator, HexHelpersOnOddInput)
{
    EXPECT_EQ(ReverseHexBytes("ABCDE"), "ECDAB");
    char c = 'x';
    EXPECT_FALSE(IsUniformHex("A", c));
    std::string sum = "FF02";
    AppendHexSum(sum);
    EXPECT_EQ(sum, "FF0201");
}
