// Main and component scripts that are binary, empty, huge, made of very long
// lines, folders, or unreadable: each run ends with a message and the program
// stays responsive.
#include "UpdateFolder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <filesystem>

#include <signal.h>

#include <random>

namespace {

using namespace std::chrono_literals;

const std::string Completed = "Program operation completed";
const std::string SyntaxError = "Syntax Error in script file line : ";
const std::string NotFound = " File not found !!!";
constexpr int HugeLineCount = 100000;
constexpr std::size_t LongLineSize = 1 << 20;

// Bytes of every value, a line end now and then; the first line starts with a
// character no operation line starts with.
std::string BinaryText(std::size_t size)
{
    std::mt19937 random(7);
    std::string text = "\x7F";
    while (text.size() < size)
        text += static_cast<char>(random() % 256);
    return text;
}

std::string RemarkLines(int count)
{
    std::string text;
    for (int line = 1; line <= count; ++line)
        text += "rem line " + std::to_string(line) + "\r\n";
    return text;
}

class BadScripts : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Folder.CardStarted()); }
    // The updater failed with the message, followed by the script's path, and nothing else went wrong.
    void ExpectFailure(const ProcessResult& run, const std::string& message, const std::string& script)
    {
        EXPECT_FALSE(run.TimedOut);
        EXPECT_EQ(run.ExitCode, 1) << run.Out << run.Err;
        EXPECT_TRUE(Contains(run.Err, message + "\n" + Folder.App() + script)) << run.Err;
        EXPECT_FALSE(Contains(run.Out, Completed));
    }

    UpdateFolder Folder;
};

}  // namespace

TEST_F(BadScripts, BinaryScriptsEndWithASyntaxError)
{
    Folder.Write("script.ini", BinaryText(4096));
    ExpectFailure(Folder.Update(), SyntaxError + "1", "script.ini");

    Folder.Write("script.ini", "CM\r\n");
    Folder.Write("MB/script.ini", BinaryText(4096));
    ExpectFailure(Folder.Update(), SyntaxError + "1", "MB/script.ini");
}

TEST_F(BadScripts, EmptyScriptsRunOnlyTheClosingOperations)
{
    Folder.Write("MB/script.ini", "");
    ProcessResult run = Folder.Update();
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_TRUE(Contains(run.Out, Completed)) << run.Out;

    Folder.Write("script.ini", "");
    run = Folder.Update();
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_TRUE(Contains(run.Out, Completed)) << run.Out;
}

TEST_F(BadScripts, HugeScriptStartsAtOnceAndStopsOnRequest)
{
    const std::string settings = Folder.Read("Updater.prm");
    Folder.Write("script.ini", "prompt huge\r\n" + RemarkLines(HugeLineCount));
    ChildProcess updater;
    ASSERT_TRUE(Folder.StartUpdate(updater));
    std::string line;
    do
        line = updater.ReadLine(10s);
    while (!line.empty() && line != "huge");
    ASSERT_EQ(line, "huge") << "the run did not reach the script";
    // A thousand seconds of remarks lie ahead (one per tick): the run still
    // answers a stop request at once.
    EXPECT_EQ(updater.Stop(SIGTERM, 5s), 128 + SIGTERM);
    EXPECT_TRUE(Contains(updater.Errors(), "Stopped by signal 15")) << updater.Errors();
    EXPECT_TRUE(Folder.Read("Updater.prm").starts_with(settings));
}

TEST_F(BadScripts, HugeScriptsEndAtTheirFirstBadLine)
{
    Folder.Write("script.ini", "bad line\r\n" + RemarkLines(HugeLineCount));
    ExpectFailure(Folder.Update(), SyntaxError + "1", "script.ini");

    Folder.Write("script.ini", "CM\r\n");
    Folder.Write("MB/script.ini", "P1 bank1.hex\r\nNo such operation\r\n" + RemarkLines(HugeLineCount));
    ExpectFailure(Folder.Update(), SyntaxError + "2", "MB/script.ini");
}

TEST_F(BadScripts, VeryLongLinesAreSkippedOrRejectedWhole)
{
    Folder.Write("script.ini", "rem " + std::string(LongLineSize, 'r') + "\r\n" + std::string(LongLineSize, 'x') + "\r\n");
    ExpectFailure(Folder.Update(), SyntaxError + "2", "script.ini");

    // A file name far too long for the system.
    Folder.Write("script.ini", "CM\r\n");
    Folder.Write("MB/script.ini", "P1 " + std::string(LongLineSize, 'f') + "\r\n");
    const ProcessResult run = Folder.Update();
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_TRUE(Contains(run.Err, NotFound)) << run.Err.substr(0, 200);
}

TEST_F(BadScripts, FolderInPlaceOfAScriptIsNotFound)
{
    Folder.MakeFolder("MB/script.ini");
    ExpectFailure(Folder.Update(), Folder.App() + "MB/script.ini" + NotFound, "MB/script.ini");

    Folder.MakeFolder("script.ini");
    ExpectFailure(Folder.Update(), Folder.App() + "script.ini" + NotFound, "script.ini");
}

TEST_F(BadScripts, UnreadableScriptIsNotFound)
{
    Folder.MakeUnreadable("MB/script.ini");
    ExpectFailure(Folder.Update(), Folder.App() + "MB/script.ini" + NotFound, "MB/script.ini");

    Folder.MakeUnreadable("script.ini");
    ExpectFailure(Folder.Update(), Folder.App() + "script.ini" + NotFound, "script.ini");
}

// With the check off, the engine itself refuses a version the card cannot
// store, with the plan's message for the plan's line, before anything of the
// line goes; the lines after it never run.
TEST_F(BadScripts, VersionOfAnotherLengthIsRefusedBeforeItIsSent)
{
    Folder.Write("MB/script.ini", "P8 prom1.svf\r\nV1 015\r\nP1 bank1.hex\r\n");
    const ProcessResult plan = Folder.Plan();
    EXPECT_TRUE(Contains(plan.Out, "\n" + Folder.App() + "MB/script.ini:2: Version is not 4 characters : 015\n"))
        << plan.Out;

    ExpectFailure(Folder.Update(), "Version is not 4 characters : 015", "MB/script.ini");
    std::string reportPath;
    for (const auto& entry : std::filesystem::directory_iterator(Folder.App() + "reports"))
        if (entry.path().extension() == ".json")
            reportPath = entry.path().string();
    ASSERT_FALSE(reportPath.empty());
    const QJsonObject report = QJsonDocument::fromJson(QByteArray::fromStdString(ReadFile(reportPath))).object();
    const QJsonObject failed = report["lines"].toArray().last().toObject();
    EXPECT_EQ(failed["script"].toString().toStdString(), Folder.App() + "MB/script.ini");
    EXPECT_EQ(failed["line"].toInt(), 2);
    EXPECT_EQ(failed["result"].toString(), "failed");
    EXPECT_EQ(failed["message"].toString(), "Version is not 4 characters : 015");
    EXPECT_EQ(failed["sent"].toInt(), 0);
    EXPECT_TRUE(report["versions_written"].toArray().isEmpty());
}
