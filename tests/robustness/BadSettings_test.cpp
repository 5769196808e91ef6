// "Updater.prm" that is garbage, huge, a folder or unreadable: whatever the run
// does, the operator's settings file is never lost or cut short.
#include "FuzzSupport.h"
#include "UpdateFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

const std::string SettingsFile = "Updater.prm";
const std::string NotSaved = "Settings not saved : ";

// Lines of any bytes but the line ends, with line ends of every kind between them.
std::string GarbageText()
{
    std::mt19937 random(11);
    std::string text = "# \x80\xFF not settings\r\nNOT_A_KEY=\x01\x02\x03\rREMOTE_PORT=oops\n\n";
    for (int line = 0; line < 200; ++line) {
        for (int byte = 0; byte < 60; ++byte) {
            const char c = static_cast<char>(random() % 256);
            text += c == '\r' || c == '\n' ? '?' : c;
        }
        text += line % 3 == 0 ? "\r\n" : line % 3 == 1 ? "\n" : "\r";
    }
    return text;
}

// The saved file begins with every line the operator had, in order.
void ExpectLinesKept(const std::string& before, const std::string& after)
{
    const std::vector<std::string> kept = SplitTextLines(before);
    const std::vector<std::string> saved = SplitTextLines(after);
    ASSERT_GE(saved.size(), kept.size());
    EXPECT_TRUE(std::equal(kept.begin(), kept.end(), saved.begin()));
}

class BadSettings : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Folder.CardStarted()); }
    UpdateFolder Folder;
};

}  // namespace

TEST_F(BadSettings, GarbageIsKeptAndTheKeysAreAdded)
{
    const std::string garbage = GarbageText();
    Folder.Write(SettingsFile, garbage);
    const ProcessResult run = Folder.Update();
    EXPECT_EQ(run.ExitCode, 1);  // no card on the default link
    EXPECT_TRUE(Contains(run.Err, "Bad value in Updater.prm, default used : REMOTE_PORT=oops")) << run.Err;

    // The bad value is replaced where it stands; the keys that were missing come last.
    std::string expected = garbage;
    expected.replace(expected.find("REMOTE_PORT=oops"), 16, "REMOTE_PORT=10500");
    const std::string saved = Folder.Read(SettingsFile);
    ExpectLinesKept(expected, saved);
    EXPECT_TRUE(saved.ends_with("\nCON_TYPE=RS232\nCOM_PORT=COM1\nREMOTE_IP=192.168.0.10\nLOCAL_PORT=10500\n"));
}

TEST_F(BadSettings, HugeSettingsAreKeptWhole)
{
    std::string huge = Folder.SettingsText();
    for (int line = 0; line < 100000; ++line)
        huge += "# remark " + std::to_string(line) + " " + std::string(40, '-') + "\n";
    Folder.Write(SettingsFile, huge);
    const ProcessResult run = Folder.Update();
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    const std::string saved = Folder.Read(SettingsFile);
    ExpectLinesKept(huge, saved);
    EXPECT_EQ(saved, huge + "COM_PORT=NA\nLOCAL_PORT=10500\n");
}

TEST_F(BadSettings, UnreadableSettingsAreLeftAlone)
{
    const std::string settings = Folder.Read(SettingsFile) + "# the operator's own line\n";
    Folder.Write(SettingsFile, settings);
    Folder.MakeUnreadable(SettingsFile);
    const ProcessResult run = Folder.Update();
    EXPECT_EQ(run.ExitCode, 1);  // the defaults lead to no card
    EXPECT_TRUE(Contains(run.Err, NotSaved + Folder.App() + SettingsFile)) << run.Err;
    EXPECT_EQ(Folder.Read(SettingsFile), settings);
}

TEST_F(BadSettings, FolderInPlaceOfTheSettingsIsLeftAlone)
{
    Folder.MakeFolder(SettingsFile);
    Folder.Write(SettingsFile + "/inside", "kept");
    const ProcessResult run = Folder.Update();
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_TRUE(Contains(run.Err, NotSaved + Folder.App() + SettingsFile)) << run.Err;
    EXPECT_EQ(Folder.Read(SettingsFile + "/inside"), "kept");
}
