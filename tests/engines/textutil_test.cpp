#include "textutil.h"

#include <gtest/gtest.h>

TEST(TextUtil, TrimRemovesBlanksAndControlCharacters)
{
    EXPECT_EQ(Trim(" \t\x01 PB BOOT.HEX \r\n"), "PB BOOT.HEX");
    EXPECT_EQ(TrimLeft("  a b  "), "a b  ");
    EXPECT_EQ(TrimRight("  a b  "), "  a b");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(Trim("\xE9"), "\xE9");
    EXPECT_TRUE(StartsWith("SYN", "SY"));
    EXPECT_FALSE(StartsWith("S", "SY"));
    EXPECT_EQ(FormatText("Device ID : %s", "AAAA"), "Device ID : AAAA");
    EXPECT_EQ(FormatText("no slot", "x"), "no slot");
    // One pass: a "%s" that an argument brings along (a path, a card's text) is printed as it is.
    EXPECT_EQ(FormatText("No answer on %s at %s baud", {"/tmp/%s/tty", "9600"}), "No answer on /tmp/%s/tty at 9600 baud");
    EXPECT_EQ(FormatText("%s and %s", {"%s"}), "%s and %s");
    EXPECT_EQ(FormatText("%s%s", {"a", "b", "c"}), "ab");
}

TEST(TextUtil, IntegerConversionForms)
{
    std::int64_t v = 0;
    EXPECT_TRUE(StrToInt64("12", v));
    EXPECT_EQ(v, 12);
    EXPECT_TRUE(StrToInt64("  -12", v));
    EXPECT_EQ(v, -12);
    EXPECT_TRUE(StrToInt64("+7", v));
    EXPECT_EQ(v, 7);
    EXPECT_TRUE(StrToInt64("$1F", v));
    EXPECT_EQ(v, 31);
    EXPECT_TRUE(StrToInt64("0x1f", v));
    EXPECT_EQ(v, 31);
    EXPECT_TRUE(StrToInt64("X10", v));
    EXPECT_EQ(v, 16);
    EXPECT_TRUE(StrToInt64("-$10", v));
    EXPECT_EQ(v, -16);
    EXPECT_TRUE(StrToInt64("4294967296", v));
    EXPECT_EQ(v, 4294967296);
    EXPECT_TRUE(StrToInt64("0", v));
    EXPECT_EQ(v, 0);

    for (const char* bad : {"", " ", "-", "$", "0x", "12 ", "1e6", "1.0", "\t5", "12a", "9223372036854775808"})
        EXPECT_FALSE(StrToInt64(bad, v)) << bad;
    EXPECT_TRUE(StrToInt64("-9223372036854775808", v));
    EXPECT_EQ(v, INT64_MIN);
}

TEST(TextUtil, ThirtyTwoBitRange)
{
    std::int32_t v = 0;
    EXPECT_TRUE(StrToInt32("2147483647", v));
    EXPECT_EQ(v, 2147483647);
    EXPECT_TRUE(StrToInt32("-2147483648", v));
    EXPECT_EQ(v, INT32_MIN);
    EXPECT_FALSE(StrToInt32("2147483648", v));
    EXPECT_FALSE(StrToInt32("-2147483649", v));
    EXPECT_TRUE(StrToInt32("$FFFFFFFF", v));
    EXPECT_EQ(v, -1);
    EXPECT_FALSE(StrToInt32("$100000000", v));
    EXPECT_TRUE(StrToInt32("-0", v));
    EXPECT_EQ(v, 0);
}

TEST(TextUtil, ControlCharactersAreEscapedForTerminalsAndLogs)
{
    EXPECT_EQ(ControlsEscaped("plain text, 100%"), "plain text, 100%");
    EXPECT_EQ(ControlsEscaped("\x1B[2J\r\tA\x7F"), "\\x1b[2J\\x0d\\x09A\\x7f");
    EXPECT_EQ(ControlsEscaped(std::string("a\0b", 3)), "a\\x00b");
    // The line break is the texts' own; UTF-8 goes through whole.
    EXPECT_EQ(ControlsEscaped("one\ntwo \xC3\xA9"), "one\ntwo \xC3\xA9");
}
