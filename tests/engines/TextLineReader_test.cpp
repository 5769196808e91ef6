#include "TextLineReader.h"

#include "FileSource.h"
#include "TempDir.h"

#include <gtest/gtest.h>

namespace {

// The lines of the content read from a file; read from memory, they must be the same.
std::vector<std::string> Lines(const std::string& content)
{
    TempDir dir;
    std::vector<std::string> lines;
    EXPECT_TRUE(LoadTextLines(dir.Write("file.txt", content), lines));
    TMemoryFiles memory;
    memory.Write("/file.txt", content);
    std::vector<std::string> fromMemory;
    EXPECT_TRUE(LoadTextLines(memory, "/file.txt", fromMemory));
    EXPECT_EQ(fromMemory, lines);
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

// Nothing there, and something there that is no readable file, are told apart.
TEST(TextLineReader, FileSourcesTellMissingFromUnreadable)
{
    TempDir dir;
    TextLineReader reader;
    const TFileSource& disk = DiskFiles();
    EXPECT_EQ(disk.Open(dir.Path() + "missing.txt", reader), TFileSource::TOpenResult::Missing);
    EXPECT_EQ(disk.Open(dir.Write("file", "x") + "/below", reader), TFileSource::TOpenResult::Missing);
    EXPECT_EQ(disk.Open(dir.Path(), reader), TFileSource::TOpenResult::Unreadable);
    EXPECT_EQ(disk.Open(dir.Path() + std::string(5000, 'n'), reader), TFileSource::TOpenResult::Unreadable);
    EXPECT_EQ(disk.Open(dir.Path() + "file", reader), TFileSource::TOpenResult::Opened);

    TMemoryFiles memory;
    memory.Write("/a", "one\ntwo");
    memory.MakeUnreadable("/b");
    EXPECT_EQ(memory.Open("/b", reader), TFileSource::TOpenResult::Unreadable);
    EXPECT_EQ(memory.Open("/c", reader), TFileSource::TOpenResult::Missing);
    ASSERT_EQ(memory.Open("/a", reader), TFileSource::TOpenResult::Opened);
    std::string line;
    ASSERT_TRUE(reader.ReadLine(line) && reader.ReadLine(line));
    EXPECT_EQ(line, "two");
    ASSERT_TRUE(reader.Rewind() && reader.ReadLine(line));
    EXPECT_EQ(line, "one");
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
