#include "LineFilters.h"
#include "StatusFilter.h"

#include <gtest/gtest.h>

using Lines = std::vector<std::string>;

TEST(StatusFilter, DropsRoutineStepNamesExactlyAndPingCardAnywhere)
{
    for (const char* routine : {"Erase", "Upload", "Verify Checksum", "Reset", "Erase Extended Boot",
                                "Upload Extended Boot", "Erase Bank", "Upload Bank", "Verify Bank", "Operation Bypassed",
                                "Updating Prom Devices", " Starting ", "Ping OK", "Ping Error", "End Update"})
        EXPECT_TRUE(IsRoutineStepName(routine)) << routine;
    for (const char* ping : {"Ping Card 3", "ping card 0", "xx PING CARD "})
        EXPECT_TRUE(IsRoutineStepName(ping)) << ping;
    // Engines add the bank digit to their step names: those are milestones.
    for (const char* kept : {"Verify Device Type", "Erase Bank0", "erase", "Starting", "Ping Card", ""})
        EXPECT_FALSE(IsRoutineStepName(kept)) << kept;
}

TEST(LineFilters, PrefixesMatchTheTrimmedLineOnly)
{
    Lines lines = {"CM", "  C0 ", "\tCM extra", "xCM", "C1", "rem CM", ""};
    RemarkLines(lines, {"CM"});
    EXPECT_EQ(lines, (Lines{"rem", "  C0 ", "rem", "xCM", "C1", "rem CM", ""}));
    RemarkLines(lines, {"C0", "C1"});
    EXPECT_EQ(lines, (Lines{"rem", "rem", "rem", "xCM", "rem", "rem CM", ""}));
}

TEST(LineFilters, ComponentLinesAreProgramAndVersionOfThatDigitOnly)
{
    Lines lines = {"P0 BANK.HEX", "V0 0102", "T0 0102", "D0", "F0", "P8 PROM.SVF", " V8 0200", "PB BOOT.HEX", "VA 1"};
    RemarkComponentLines(lines, 8);
    EXPECT_EQ(lines, (Lines{"P0 BANK.HEX", "V0 0102", "T0 0102", "D0", "F0", "rem", "rem", "PB BOOT.HEX", "VA 1"}));
    RemarkComponentLines(lines, 0);
    RemarkComponentLines(lines, 10);
    EXPECT_EQ(lines, (Lines{"rem", "rem", "T0 0102", "D0", "F0", "rem", "rem", "PB BOOT.HEX", "rem"}));
}

TEST(LineFilters, BlankLinesCountButEmptyOnesDoNot)
{
    EXPECT_EQ(CountNonEmptyLines({"", " ", "rem", "", "\t"}), 3);
    EXPECT_EQ(CountNonEmptyLines({}), 0);
}
