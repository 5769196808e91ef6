// corvane-tool check against hand-made card states: what it compares, how it
// names a difference, and how it treats inputs it cannot use.
#include "RunProcess.h"
#include "TempDir.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace {

using Bytes = std::map<std::uint32_t, std::uint8_t>;

// The word the effect file writes at address 0002, as the SVF text gives it
// (last byte first) and as the device memory holds it.
const char WordText[] = "0F1E2D3C4B5A69788796A5B4C3D2E1F0";
const std::vector<std::uint8_t> WordBytes = {0xF0, 0xE1, 0xD2, 0xC3, 0xB4, 0xA5, 0x96, 0x87,
                                             0x78, 0x69, 0x5A, 0x4B, 0x3C, 0x2D, 0x1E, 0x0F};
constexpr std::size_t WordSize = 16;
constexpr std::size_t PromBytes = 1024 * WordSize;

QString HexText(const std::vector<std::uint8_t>& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())).toHex().toUpper();
}

QJsonObject Area(std::uint32_t first, std::uint32_t last, const Bytes& written)
{
    std::vector<std::uint8_t> bytes(last - first + 1, 0xFF);
    for (const auto& [address, value] : written)
        bytes[address - first] = value;
    return QJsonObject{{"first", QString::number(first, 16).rightJustified(4, '0').toUpper()},
                       {"last", QString::number(last, 16).toUpper()},
                       {"erases", 1},
                       {"bytes", HexText(bytes)}};
}

// A card that holds exactly what the update of UpdateFolder writes.
struct CardContents {
    Bytes Boot = {{0x4000, 0x01}, {0x4001, 0x02}};
    Bytes Bank1 = {{0x8000, 0x11}, {0x8001, 0x22}};
    std::vector<std::uint8_t> Prom = std::vector<std::uint8_t>(PromBytes, 0xFF);
    std::map<QString, QString> Versions = {{"8", "0210"}, {"9", "0120"}};
    QString UserVersion = "0150";
    QString OptionCode = "0000";

    CardContents() { std::copy(WordBytes.begin(), WordBytes.end(), Prom.begin() + 2 * WordSize); }

    std::string Json() const
    {
        QJsonArray banks = {Area(0x0000, 0x7FFF, {})};
        for (int bank = 1; bank < 8; ++bank)
            banks.append(Area(0x8000, 0xFFFF, bank == 1 ? Bank1 : Bytes{}));
        QJsonObject versions;
        for (const auto& [component, version] : Versions)
            versions.insert(component, version);
        const QJsonObject device{{"idcode", "1C0DE0A5"}, {"memory", HexText(Prom)}};
        const QJsonObject state{{"device_id", "AAAA"},
                                {"boot", Area(0x4000, 0x5FFF, Boot)},
                                {"banks", banks},
                                {"versions", versions},
                                {"user_version", UserVersion},
                                {"option_code", OptionCode},
                                {"jtag", QJsonObject{{"devices", QJsonArray{device}}}}};
        return QJsonDocument(state).toJson().toStdString();
    }
};

class UpdateFolder {
public:
    explicit UpdateFolder(const std::string& effectFile = std::string("SIR 8 TDI (13);\nSIR 8 TDI (10);\n") +
                                                          "SDR 16 TDI (0002);\nSIR 8 TDI (11);\nSDR 128 TDI (" +
                                                          WordText + ");\n")
    {
        Dir.Write("app/script.ini", "rem test update\nCM\nC0\nUV 0150\n");
        Dir.Write("app/MB/script.ini", "T8 0210\nP1 bank1.hex\nP8 prom.svf\nV8 0210\n");
        Dir.Write("app/EXT/script.ini", "V9 0120\n");
        Dir.Write("app/BOOT_EXT_OPTION.HEX", ":024000000102BB\n:00000001FF\n");
        Dir.Write("app/MB/bank1.hex", ":02800000112245\n:00000001FF\n");
        Dir.Write("app/MB/prom.svf", effectFile);
    }
    ProcessResult Check(const CardContents& card) const
    {
        return RunProcess({CORVANE_TOOL, "check", Dir.Write("card.json", card.Json()), App()});
    }
    std::string App() const { return Dir.Path() + "app"; }
    TempDir Dir;
};

}  // namespace

TEST(ToolCheck, ReportsEachAreaTheUpdateWrites)
{
    const ProcessResult result = UpdateFolder().Check(CardContents());
    EXPECT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(result.Out,
              "boot          BOOT_EXT_OPTION.HEX        2 bytes  match\n"
              "bank 1        MB/bank1.hex               2 bytes  match\n"
              "PROM 1        MB/prom.svf                 1 word  match\n"
              "versions      8=0210 9=0120                       match\n"
              "user version  0150                                match\n"
              "option code   0000                                match\n");
}

TEST(ToolCheck, NamesTheFirstDifferenceOfEachArea)
{
    CardContents card;
    card.Boot.erase(0x4001);
    card.Bank1[0x9000] = 0x00;
    card.Prom[2 * WordSize + 15] = 0x00;
    card.Prom[700 * WordSize] = 0x00;  // erased by the file, so it must read FF
    card.Versions.erase("9");
    card.OptionCode = "0001";
    const ProcessResult result = UpdateFolder().Check(card);
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_NE(result.Out.find("boot          BOOT_EXT_OPTION.HEX        2 bytes  MISMATCH at 4001 (card FF, image 02)\n"),
              std::string::npos) << result.Out;
    EXPECT_NE(result.Out.find("MISMATCH at 9000 (card 00, image FF)\n"), std::string::npos);
    EXPECT_NE(result.Out.find("MISMATCH at word 0002\n"), std::string::npos);
    EXPECT_NE(result.Out.find("versions      8=0210                              MISMATCH (9 should be 0120)\n"),
              std::string::npos) << result.Out;
    EXPECT_NE(result.Out.find("option code   0001                                MISMATCH (should be 0000)\n"),
              std::string::npos) << result.Out;

    CardContents erasedOnly;
    erasedOnly.Prom[700 * WordSize] = 0x00;
    const ProcessResult prom = UpdateFolder().Check(erasedOnly);
    EXPECT_EQ(prom.ExitCode, 1);
    EXPECT_NE(prom.Out.find("MISMATCH at word 02BC\n"), std::string::npos) << prom.Out;
}

TEST(ToolCheck, ComparesOnlyTheWordsTheEffectFileDecides)
{
    // No ERASE: the other words keep what the device held. An 8-bit WRITE scan
    // fills the top of the word and leaves the captured zeros below it; STATE
    // RESET selects IDCODE, so the scan after it writes nothing.
    const UpdateFolder folder("SIR 8 TDI (10);\nSDR 16 TDI (0005);\nSIR 8 TDI (11);\nSDR 8 TDI (5A);\n"
                              "STATE RESET;\nSDR 128 TDI (" + std::string(WordText) + ");\n");
    CardContents card;
    std::fill(card.Prom.begin(), card.Prom.end(), 0x33);
    std::fill(card.Prom.begin() + 5 * WordSize, card.Prom.begin() + 6 * WordSize, 0x00);
    card.Prom[5 * WordSize + 15] = 0x5A;
    const ProcessResult result = folder.Check(card);
    EXPECT_EQ(result.ExitCode, 0) << result.Out;

    card.Prom[5 * WordSize] = 0x5A;
    EXPECT_NE(folder.Check(card).Out.find("MISMATCH at word 0005"), std::string::npos);
}

TEST(ToolCheck, InputsItCannotUse)
{
    const UpdateFolder folder;
    EXPECT_EQ(RunProcess({CORVANE_TOOL, "check", folder.App()}).ExitCode, 2);

    const ProcessResult noState = RunProcess({CORVANE_TOOL, "check", folder.Dir.Path() + "none.json", folder.App()});
    EXPECT_EQ(noState.ExitCode, 1);
    EXPECT_NE(noState.Err.find("none.json"), std::string::npos);

    const std::string notACard = folder.Dir.Write("other.json", "{\"mode\": \"firmware\"}");
    const ProcessResult wrong = RunProcess({CORVANE_TOOL, "check", notACard, folder.App()});
    EXPECT_EQ(wrong.ExitCode, 1);
    EXPECT_NE(wrong.Err.find("not the state file of a simulated card"), std::string::npos);

    const std::string state = folder.Dir.Write("card.json", CardContents().Json());
    const ProcessResult noScript = RunProcess({CORVANE_TOOL, "check", state, folder.Dir.Path()});
    EXPECT_EQ(noScript.ExitCode, 1);
    EXPECT_NE(noScript.Err.find("script.ini"), std::string::npos);

    std::filesystem::remove(folder.App() + "/MB/bank1.hex");
    const ProcessResult noImage = RunProcess({CORVANE_TOOL, "check", state, folder.App()});
    EXPECT_EQ(noImage.ExitCode, 1);
    EXPECT_NE(noImage.Out.find("bank 1        MB/bank1.hex                        MISMATCH (cannot read the image)\n"),
              std::string::npos) << noImage.Out;

    folder.Dir.Write("app/MB/prom.svf", "FREQUENCY 1E6 HZ;\n");
    EXPECT_NE(RunProcess({CORVANE_TOOL, "check", state, folder.App()}).Out.find("prom.svf line 1 does not translate"),
              std::string::npos);
}
