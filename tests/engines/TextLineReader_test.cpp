#include "TextLineReader.h"

#include "TempDir.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> Lines(const std::string& content)
{
    TempDir dir;
    std::vector<std::string> lines;
    EXPECT_TRUE(LoadTextLines(dir.Write("file.txt", content), lines));
    return lines;
}

using V = std::vector<std::string>;

}  // namespace

TEST(TextLineReader, LineEndsOfEveryKind)
{
    EXPECT_EQ(Lines("a\r\nb\rc\nd"), (V{"a", "b", "c", "d"}));
    EXPECT_EQ(Lines("a\n"), (V{"a"}));
    EXPECT_EQ(Lines("a\n\n"), (V{"a", ""}));
    EXPECT_EQ(Lines("\r\n\r\nx\r\n"), (V{"", "", "x"}));
    EXPECT_EQ(Lines("a\n\rb"), (V{"a", "", "b"}));
    EXPECT_EQ(Lines(""), V{});
    EXPECT_EQ(Lines(std::string("a\0b\r\n", 5)), (V{std::string("a\0b", 3)}));
    EXPECT_EQ(Lines("\xE9t\xE9\n"), (V{"\xE9t\xE9"}));
}

// The file is read in blocks of 64 KiB: a CR LF split between two blocks ends one
// line, and a line may be longer than a block.
TEST(TextLineReader, LinesAcrossTheBlocksOfTheFile)
{
    const std::string beforeSplit(64 * 1024 - 1, 'a');
    EXPECT_EQ(Lines(beforeSplit + "\r\nb"), (V{beforeSplit, "b"}));
    EXPECT_EQ(Lines(beforeSplit + "\rb"), (V{beforeSplit, "b"}));
    const std::string longLine(200000, 'x');
    EXPECT_EQ(Lines("s\n" + longLine + "\r\n\r\nend"), (V{"s", longLine, "", "end"}));

    std::string many;
    V expected;
    for (int line = 0; line < 30000; ++line) {
        many += std::to_string(line) + (line % 3 == 0 ? "\r\n" : line % 3 == 1 ? "\n" : "\r");
        expected.push_back(std::to_string(line));
    }
    EXPECT_EQ(Lines(many), expected);
}

TEST(TextLineReader, MissingFilesAndFoldersFail)
{
    TempDir dir;
    std::vector<std::string> lines = {"left over"};
    EXPECT_FALSE(LoadTextLines(dir.Path() + "missing.txt", lines));
    EXPECT_TRUE(lines.empty());
    EXPECT_FALSE(LoadTextLines(dir.Path(), lines));
    TextLineReader reader;
    EXPECT_FALSE(reader.Open(dir.Path()));
    EXPECT_FALSE(reader.IsOpen());
    std::string line;
    EXPECT_FALSE(reader.ReadLine(line));
}

TEST(TextLineReader, RewindReadsAgainFromTheFirstLine)
{
    TempDir dir;
    TextLineReader reader;
    ASSERT_TRUE(reader.Open(dir.Write("f", "one\r\ntwo")));
    std::string line;
    int count = 0;
    while (reader.ReadLine(line))
        ++count;
    EXPECT_EQ(count, 2);
    ASSERT_TRUE(reader.Rewind());
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, "one");
    reader.Close();
    EXPECT_FALSE(reader.IsOpen());
}
