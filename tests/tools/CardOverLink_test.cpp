// The programming engines against the simulated card, through the real link
// driver, over TCP and over a pseudo-terminal: what the engines upload must be
// what the card then holds.
#include "ComDriver.h"
#include "EventLoopWait.h"
#include "InstCourante.h"
#include "PtyLink.h"
#include "SimulatedCard.h"
#include "TcpLink.h"
#include "TempDir.h"
#include "hex.h"
#include "progboot.h"
#include "progjtag.h"
#include "progpsd.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>

namespace {

std::uint64_t NowMs()
{
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

// The four engines wired to a link driver the way the window wires them: one
// shared receive text, every arrival steps the busy engine, and a 10 ms tick
// steps it too.
class EnginesOverLink {
public:
    EnginesOverLink()
    {
        Driver.SetTag(1);
        Driver.OnRecString = [this](TComDriver& driver, std::int32_t) {
            Received += driver.ReadRaw();
            StepBusy();
        };
        for (TGestionnaire* engine : Engines()) {
            engine->OnSend = [this](TGestionnaire& sender) { Driver.SendRaw(sender.GetOutBuffer()); };
            engine->OnReceive = [this](TGestionnaire& sender) { sender.SetInBuffer(Received); };
            engine->OnChangeBufIn = [this](TGestionnaire& sender) { Received = sender.GetInBuffer(); };
            engine->OnChangeBusy = [this](TGestionnaire& sender) { EngineBusy = sender.IsBusy(); };
            engine->OnInfo = [this](TGestionnaire& sender) { Infos.push_back(sender.GetInfoText()); };
            engine->OnError = [this](TGestionnaire& sender) { Errors.push_back(sender.GetErrorText()); };
            engine->OnChangeDeviceID = [this](TGestionnaire&) {
                for (TGestionnaire* each : Engines())
                    each->SetUpdateAllowed(true);
            };
        }
        Inst.OnVersionSame = [this](TGestionnaire&, std::int32_t component) { SameVersions.push_back(component); };
        Inst.OnCardError = [this](TGestionnaire&, std::int32_t card) { FailedCards.push_back(card); };
        Jtag.PlayOpenPause = std::chrono::milliseconds(0);
        QObject::connect(&Tick, &QTimer::timeout, &Tick, [this] { StepBusy(); });
        Tick.start(10);
    }

    void UseFolder(const std::string& folder)
    {
        for (TGestionnaire* engine : Engines())
            engine->SetCurentDir(folder);
    }

    // Offers the line to the engines in the sequencer's order and waits until the
    // operation is over; false when no engine took it, it failed or it hung.
    bool Run(const std::string& line, int timeoutMs = 20000)
    {
        const std::size_t errors = Errors.size();
        Boot.SetCommandLine(line);
        Boot.Step();
        Inst.SetCommandLine(line);
        Inst.Step();
        Psd.SetCommandLine(line);
        Psd.Step();
        Jtag.SetCommandLine(line);
        Jtag.Step();
        if (!EngineBusy)
            return false;
        return WaitUntil([this] { return !EngineBusy; }, timeoutMs) && Errors.size() == errors;
    }

    TComDriver Driver;
    TProgBoot Boot;
    TInstCrt Inst;
    TProgPsd Psd;
    TProgJtag Jtag;
    std::string Received;
    bool EngineBusy = false;
    std::vector<std::string> Infos;
    std::vector<std::string> Errors;
    std::vector<std::int32_t> SameVersions;
    std::vector<std::int32_t> FailedCards;

private:
    std::vector<TGestionnaire*> Engines() { return {&Boot, &Inst, &Psd, &Jtag}; }
    void StepBusy()
    {
        if (Boot.IsBusy())
            Boot.Step();
        if (Inst.IsBusy())
            Inst.Step();
        if (Psd.IsBusy())
            Psd.Step();
        if (Jtag.IsBusy())
            Jtag.Step();
    }

    QTimer Tick;
};

// A HEX file of count 16-byte records of varied data from base, and the end record.
std::vector<std::string> HexFile(std::uint16_t base, int count, unsigned seed)
{
    std::vector<std::string> lines;
    for (int record = 0; record < count; ++record) {
        std::string data;
        for (unsigned byte = 0; byte < 16; ++byte)
            data += ByteToHex(seed * 31 + static_cast<unsigned>(record) * 7 + byte * 13);
        lines.push_back(BuildHexRecord(HexRecordData, static_cast<std::uint16_t>(base + record * 16), data));
    }
    lines.push_back(BuildHexRecord(HexRecordEndOfFile, 0, ""));
    return lines;
}

std::string Joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

// The window of the image the HEX lines describe, as the card should hold it.
std::vector<std::uint8_t> Window(const std::vector<std::string>& lines, std::uint16_t first, std::uint16_t last)
{
    std::vector<std::uint8_t> image(HexImageSize, HexUnwrittenByte);
    for (const std::string& line : lines) {
        const HexRecord record = ParseHexRecord(line);
        if (record.Type == HexRecordData)
            for (std::size_t i = 0; i < record.Data.size(); ++i)
                image[record.Address + i] = static_cast<std::uint8_t>(record.Data[i]);
    }
    return {image.begin() + first, image.begin() + last + 1};
}

std::vector<std::uint8_t> Window(const SimulatedCard::FlashArea& area)
{
    return {area.Image.begin() + area.First, area.Image.begin() + area.Last + 1};
}

// Erases the device, writes two words and reads them back, the second against a mask.
const char* const EffectFile =
    "// write two words, then read them back\r\n"
    "TRST OFF;\r\n"
    "STATE RESET IDLE;\r\n"
    "SIR 8 TDI (13);\r\n"
    "RUNTEST 100 TCK;\r\n"
    "SIR 8 TDI (10);\r\n"
    "SDR 16 TDI (0000);\r\n"
    "SIR 8 TDI (11);\r\n"
    "SDR 128 TDI (00112233445566778899AABBCCDDEEFF);\r\n"
    "SDR 128 TDI (1B1B1B1B000000000000000000000000);\r\n"
    "SIR 8 TDI (10);\r\n"
    "SDR 16 TDI (0000);\r\n"
    "SIR 8 TDI (12);\r\n"
    "SDR 128 TDI (00000000000000000000000000000000) TDO (00112233445566778899AABBCCDDEEFF);\r\n"
    "SDR 128 TDI (00000000000000000000000000000000) TDO (1B1B1B1BFFFFFFFF0000000000000000) "
    "MASK (FFFFFFFF00000000FFFFFFFFFFFFFFFF);\r\n";

class CardOverLink : public ::testing::Test {
protected:
    CardOverLink()
    {
        Options.Versions[0] = "0102";
        Options.AbsentCards = {4};
    }
    void StartCard(bool inBootLoader)
    {
        Options.StartInBootLoader = inBootLoader;
        Card = std::make_unique<SimulatedCard>(Options, NowMs);
    }
    void Synchronise()
    {
        ASSERT_TRUE(Host.Run("SYN"));
        EXPECT_NE(std::find(Host.Infos.begin(), Host.Infos.end(), "Device ID : AAAA"), Host.Infos.end());
    }

    CardOptions Options;
    std::unique_ptr<SimulatedCard> Card;
    EnginesOverLink Host;
    TempDir Folder;
};

}  // namespace

TEST_F(CardOverLink, EveryOperationOverTcp)
{
    StartCard(false);
    TcpLink link(*Card, 0);
    std::string error;
    ASSERT_TRUE(link.Start(error)) << error;
    Host.Driver.SetIpRemoteAddress("127.0.0.1");
    Host.Driver.SetIpRemotePort(std::stoi(link.Address()));
    Host.Driver.SetConMode(MODE_VAR);
    Host.Driver.SetConType(CON_TCP);
    ASSERT_TRUE(WaitUntil([&] { return Host.Driver.GetTcpClient().IsConnected(); }));

    // The running firmware reports its type and hands over to the boot loader.
    Host.Driver.SendVarCommand(2);
    ASSERT_TRUE(WaitUntil([&] { return Host.Driver.GetDEV() == 57; }));
    Host.Driver.SetUPDATER(1);
    Host.Driver.SetUPDATER(254);
    ASSERT_TRUE(WaitUntil([&] { return Card->CurrentMode() == SimulatedCard::Mode::BootLoader; }));
    Host.Driver.SetConMode(MODE_RAW);
    Synchronise();

    Host.UseFolder(Folder.Path());
    const std::vector<std::string> boot = HexFile(0x4000, 64, 1);
    const std::vector<std::string> bank = HexFile(0x8000, 128, 2);
    Folder.Write("BOOT.HEX", Joined(boot));
    Folder.Write("BANK2.HEX", Joined(bank));
    ASSERT_TRUE(Host.Run("PB BOOT.HEX"));
    EXPECT_EQ(Window(Card->BootArea()), Window(boot, 0x4000, 0x5FFF));
    EXPECT_TRUE(Card->BootArea().Verified);
    ASSERT_TRUE(Host.Run("P2 BANK2.HEX"));
    EXPECT_EQ(Window(Card->Bank(2)), Window(bank, 0x8000, 0xFFFF));
    EXPECT_EQ(Card->Bank(1).Erases, 0u);

    ASSERT_TRUE(Host.Run("T0 0102"));
    ASSERT_TRUE(Host.Run("T1 0102"));
    EXPECT_EQ(Host.SameVersions, (std::vector<std::int32_t>{0}));
    ASSERT_TRUE(Host.Run("V1 0200"));
    EXPECT_EQ(Card->Versions().at('1'), "0200");
    ASSERT_TRUE(Host.Run("M3"));
    ASSERT_TRUE(Host.Run("M4"));
    EXPECT_EQ(Host.FailedCards, (std::vector<std::int32_t>{4}));

    Folder.Write("EFFECT.SVF", EffectFile);
    ASSERT_TRUE(Host.Run("P8 EFFECT.SVF")) << (Host.Errors.empty() ? "" : Host.Errors.back());
    const std::vector<std::uint8_t>& memory = Card->Jtag().Devices()[0].Memory();
    EXPECT_EQ(memory[0], 0xFF);  // the last byte of the text is shifted first
    EXPECT_EQ(memory[15], 0x00);
    EXPECT_EQ(memory[16], 0x00);
    EXPECT_EQ(memory[31], 0x1B);
    ASSERT_TRUE(Host.Run("D8"));
    EXPECT_EQ(Host.Infos.back(), "ID Number : 1C0DE0A5");
    ASSERT_TRUE(Host.Run("FI"));
    EXPECT_EQ(Card->CurrentMode(), SimulatedCard::Mode::Firmware);
}

TEST_F(CardOverLink, WrongReadBackStopsThePlay)
{
    StartCard(true);
    TcpLink link(*Card, 0);
    std::string error;
    ASSERT_TRUE(link.Start(error)) << error;
    Host.Driver.SetIpRemoteAddress("127.0.0.1");
    Host.Driver.SetIpRemotePort(std::stoi(link.Address()));
    Host.Driver.SetConMode(MODE_RAW);
    Host.Driver.SetConType(CON_TCP);
    ASSERT_TRUE(WaitUntil([&] { return Host.Driver.GetTcpClient().IsConnected(); }));
    Synchronise();
    Host.UseFolder(Folder.Path());
    Folder.Write("BAD.SVF", "SIR 8 TDI (01);\nSDR 32 TDI (00000000) TDO (12345678);\n");
    EXPECT_FALSE(Host.Run("P8 BAD.SVF"));
    EXPECT_EQ(Host.Errors, (std::vector<std::string>{"Error while executing Effect file line : 2"}));
}

TEST_F(CardOverLink, UploadsOverAPseudoTerminalWithLineNoise)
{
    Options.Faults.CorruptRate = 0.05;
    Options.Faults.RepeatRate = 0.05;
    Options.Faults.CorruptCaptureRate = 0.2;
    StartCard(true);
    PtyLink link(*Card, false);
    std::string error;
    ASSERT_TRUE(link.Start(error)) << error;
    Host.Driver.SetBaudRate(57600);
    Host.Driver.SetPort(link.Address());
    Host.Driver.SetConMode(MODE_RAW);
    Host.Driver.SetConType(CON_RS232);
    ASSERT_TRUE(Host.Driver.LastOpenSucceeded());
    Synchronise();

    Host.UseFolder(Folder.Path());
    const std::vector<std::string> bank = HexFile(0x0000, 200, 3);
    Folder.Write("BANK0.HEX", Joined(bank));
    ASSERT_TRUE(Host.Run("P0 BANK0.HEX"));
    EXPECT_EQ(Window(Card->Bank(0)), Window(bank, 0x0000, 0x7FFF));
    Folder.Write("EFFECT.SVF", EffectFile);
    ASSERT_TRUE(Host.Run("P8 EFFECT.SVF")) << (Host.Errors.empty() ? "" : Host.Errors.back());
    EXPECT_GT(Card->RetransmissionsRequested(), 0u);
    EXPECT_GT(Host.Jtag.GetRetryCount() + Host.Psd.GetRetryCount(), 0);
}
