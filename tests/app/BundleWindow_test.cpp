// Bundles in the window: opened from the File menu or the command line,
// checked before anything else, refused with a box that names the entry and
// the reason, or run like a folder with their signer in the status list.
#include "AppBench.h"
#include "BundleTestSupport.h"
#include "BundleWriter.h"
#include "CardStateFile.h"
#include "CardsWindow.h"
#include "RunProcess.h"
#include "SettingsFile.h"

#include <QAction>
#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

// An environment variable set to a folder of the test's own while the object lives.
class FolderVariable {
public:
    explicit FolderVariable(const char* name) : Name(name)
    {
        const char* before = std::getenv(name);
        Had = before != nullptr;
        Before = Had ? before : "";
        ::setenv(name, Dir.Path().c_str(), 1);
    }
    ~FolderVariable()
    {
        if (Had)
            ::setenv(Name, Before.c_str(), 1);
        else
            ::unsetenv(Name);
    }
    FolderVariable(const FolderVariable&) = delete;
    FolderVariable& operator=(const FolderVariable&) = delete;

    TempDir Dir;

private:
    const char* Name;
    bool Had = false;
    std::string Before;
};

// The bundled example as a bundle, signed when a key is given.
std::string ExampleBundle(const TempDir& dir, const std::string& secretKey = {})
{
    TMinisignSecretKey key;
    std::string text;
    std::string why;
    if (!secretKey.empty()) {
        EXPECT_TRUE(ReadKeyFile(secretKey, text, why) && ParseSecretKey(text, key, why)) << why;
    }
    TFolderFiles files;
    TBundleProblem problem;
    TManifest manifest;
    const std::string bundle = dir.Path() + "example.zip";
    EXPECT_TRUE(ListFolderFiles(CORVANE_EXAMPLES_DIR, files, problem));
    EXPECT_TRUE(WriteBundle(CORVANE_EXAMPLES_DIR, files.Names, "Corvane Pelto update package 1.50",
                            secretKey.empty() ? nullptr : &key, bundle, manifest, problem))
        << problem.Reason;
    return bundle;
}

bool Contains(const std::vector<std::string>& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

}  // namespace

TEST(BundleWindow, SignedExampleUpdatesTheCardWithItsSignerInTheStatusList)
{
    TempDir dir;
    AppBench bench;
    FolderVariable config("XDG_CONFIG_HOME");
    FolderVariable temporary("TMPDIR");
    KeyPair keys;
    if (!MakeMinisignKeys(dir, "release", keys))
        GTEST_SKIP() << "minisign is not installed";
    CardBench card(Transport::Tcp);
    config.Dir.Write("corvane-pelto-updater/Updater.prm", card.SettingsText());
    const std::string bundle = ExampleBundle(dir, keys.Secret);

    bench.Open();
    TMainFich& window = bench.Window();
    window.SetTrustedKeyFiles({keys.Public});
    ASSERT_TRUE(window.OpenUpdatePath(bundle));
    ASSERT_NE(window.GetBundle(), nullptr);
    EXPECT_EQ(window.GetBundle()->UpdateName, "Corvane Pelto update package 1.50");
    const std::string keyComment = ReadFile(keys.Public).substr(19, ReadFile(keys.Public).find('\n') - 19);
    const std::string keyId = keyComment.substr(keyComment.rfind(' ') + 1);
    EXPECT_TRUE(Contains(bench.StatusLines(), "Update signed by " + keyId + " (" + keyComment + ")"));
    EXPECT_TRUE(window.ReadId->isVisibleTo(&window));
    window.GetSession().GetProgJtag().PlayOpenPause = std::chrono::milliseconds(0);

    ASSERT_TRUE(bench.Run(false, 60000));
    EXPECT_TRUE(bench.Boxes.empty()) << bench.Boxes.front();
    EXPECT_EQ(bench.StatusLines().back(), "Program operation completed");
    const std::string state = dir.Path() + "card.json";
    ASSERT_TRUE(WriteCardState(card.Card, card.Link->Carried(), state));
    const ProcessResult check = RunProcess({CORVANE_TOOL, "check", state, CORVANE_EXAMPLES_DIR});
    EXPECT_EQ(check.ExitCode, 0) << check.Out << check.Err;

    // The operator's files are kept per user; the unpacked update stays as it came.
    const std::string user = config.Dir.Path() + "corvane-pelto-updater/";
    EXPECT_EQ(window.GetReport().LastJsonPath().rfind(user + "reports/", 0), 0u) << window.GetReport().LastJsonPath();
    // The report names the bundle and its signer.
    const QJsonObject recorded =
        QJsonDocument::fromJson(QByteArray::fromStdString(ReadFile(window.GetReport().LastJsonPath()))).object()["bundle"].toObject();
    EXPECT_EQ(recorded["file"].toString().toStdString(), bundle);
    EXPECT_EQ(recorded["name"].toString(), "Corvane Pelto update package 1.50");
    EXPECT_EQ(recorded["signer_key_id"].toString().toStdString(), keyId);
    EXPECT_TRUE(recorded["signer_trusted"].toBool());
    EXPECT_NE(ReadFile(window.GetReport().LastLogPath()).find("\nSigned by   : " + keyId + "\n"), std::string::npos);
    const std::string unpacked = window.GetSession().GetAppDir();
    // The window of several cards runs the same bundle, its lines kept to it.
    window.SeveralCards->trigger();
    TCardsWindow* cards = window.GetCardsWindow();
    ASSERT_NE(cards, nullptr);
    ASSERT_TRUE(cards->AddPort("tcp://127.0.0.1:9"));
    EXPECT_TRUE(cards->GetCards().Session(0).IsConfinedToFolder());
    EXPECT_TRUE(cards->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    window.FormClose();
    EXPECT_TRUE(fs::exists(user + "Updater.prm"));
    EXPECT_FALSE(fs::exists(unpacked + "/Updater.prm"));
    EXPECT_FALSE(fs::exists(unpacked + "/reports"));
    bench.Windows.reset();
    EXPECT_TRUE(fs::is_empty(temporary.Dir.Path()));
}

TEST(BundleWindow, RefusedBundleLeavesTheWindowOnItsUpdate)
{
    TempDir dir;
    AppBench bench;
    FolderVariable config("XDG_CONFIG_HOME");
    FolderVariable temporary("TMPDIR");
    const std::string good = ExampleBundle(dir);
    std::vector<ZipEntry> entries = ReadZip(good);
    FindEntry(entries, "MB/bank1.hex")->Data[12] ^= 1;
    const std::string bad = dir.Path() + "altered.zip";
    ASSERT_TRUE(WriteZip(bad, entries));

    bench.Dir.Write("script.ini", "FI\r\n");
    bench.Open();
    TMainFich& window = bench.Window();
    const std::string folder = window.GetSession().GetAppDir();
    std::string chosen = bad;
    window.ChooseUpdate = [&](const std::string&) { return chosen; };
    window.OpenUpdate->trigger();
    ASSERT_EQ(bench.Boxes.size(), 1u);
    EXPECT_EQ(bench.Boxes[0], "Update refused: nothing was sent to the card\n" + bad +
                                  ": MB/bank1.hex: its SHA-256 is not the manifest's: the file was altered");
    EXPECT_EQ(bench.BoxKinds[0], TBoxKind::Error);
    EXPECT_EQ(window.GetSession().GetAppDir(), folder);
    EXPECT_EQ(window.GetBundle(), nullptr);
    EXPECT_EQ(TSettingsFile::LastUpdateFolder(), "");
    EXPECT_TRUE(fs::is_empty(temporary.Dir.Path()));

    // A good one is opened and offered next time; a folder chosen by its main
    // script then takes its place, and the unpacked update goes.
    chosen = good;
    window.OpenUpdate->trigger();
    EXPECT_NE(window.GetBundle(), nullptr);
    EXPECT_EQ(TSettingsFile::LastUpdateFolder(), good);
    EXPECT_EQ(TSettingsFile::WindowFolder(bench.Dir.Path() + "nothing"), good);
    EXPECT_FALSE(fs::is_empty(temporary.Dir.Path()));
    chosen = bench.Dir.Path() + "script.ini";
    window.OpenUpdate->trigger();
    EXPECT_EQ(window.GetSession().GetAppDir(), folder);
    EXPECT_EQ(window.GetBundle(), nullptr);
    EXPECT_TRUE(fs::is_empty(temporary.Dir.Path()));
}
