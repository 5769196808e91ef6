#include "CardBench.h"

#include "PtyLink.h"
#include "TcpLink.h"
#include "UdpLink.h"
#include "hex.h"

#include <QUdpSocket>

#include <algorithm>
#include <chrono>
#include <stdexcept>

namespace {

std::uint64_t MonotonicMs()
{
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

std::unique_ptr<CardLink> MakeLink(Transport transport, SimulatedCard& card)
{
    switch (transport) {
    case Transport::Tcp: return std::make_unique<TcpLink>(card, 0);
    case Transport::Udp: return std::make_unique<UdpLink>(card, 0);
    case Transport::Pty: return std::make_unique<PtyLink>(card, false);
    }
    return nullptr;
}

// The memory words of the effect file, as written in it (most significant byte first).
const char* const JtagWords[] = {"00112233445566778899AABBCCDDEEFF", "0F1E2D3C4B5A69788796A5B4C3D2E1F0"};

std::string EffectFile()
{
    std::string svf = "// erase, write two words, read them back\nSTATE RESET;\nSTATE IDLE;\nSIR 8 TDI (13);\n"
                      "SIR 8 TDI (10);\nSDR 16 TDI (0000);\nSIR 8 TDI (11);\n";
    for (const char* word : JtagWords)
        svf += std::string("SDR 128 TDI (") + word + ");\n";
    svf += "SIR 8 TDI (10);\nSDR 16 TDI (0000);\nSIR 8 TDI (12);\n";
    for (const char* word : JtagWords)
        svf += std::string("SDR 128 TDI (00000000000000000000000000000000) TDO (") + word +
               ") MASK (FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF);\n";
    return svf;
}

}  // namespace

const char* TransportName(Transport transport)
{
    switch (transport) {
    case Transport::Tcp: return "Tcp";
    case Transport::Udp: return "Udp";
    case Transport::Pty: return "Pty";
    }
    return "";
}

CardBench::CardBench(Transport transport, CardOptions options)
    : Via(transport), Card(options, MonotonicMs), Link(MakeLink(transport, Card))
{
    std::string error;
    if (!Link->Start(error))
        throw std::runtime_error("the simulated card cannot start: " + error);
}

std::string CardBench::SettingsText() const
{
    switch (Via) {
    case Transport::Tcp: return "CON_TYPE=TCP\nREMOTE_IP=127.0.0.1\nREMOTE_PORT=" + Link->Address() + "\n";
    case Transport::Udp:
        return "CON_TYPE=UDP\nREMOTE_IP=127.0.0.1\nREMOTE_PORT=" + Link->Address() +
               "\nLOCAL_PORT=" + std::to_string(LocalUdpPort) + "\n";
    case Transport::Pty: return "CON_TYPE=RS232\nCOM_PORT=COM2\nCOM2=" + Link->Address() + "\n";
    }
    return {};
}

TLinkSettings CardBench::SessionLink() const
{
    TLinkSettings link;
    link.ComPort = "COM2";
    switch (Via) {
    case Transport::Tcp: link.ConType = CON_TCP; break;
    case Transport::Udp: link.ConType = CON_UDP; break;
    case Transport::Pty:
        link.ConType = CON_RS232;
        link.SerialDevice = Link->Address();
        return link;
    }
    link.RemoteAddress = "127.0.0.1";
    link.RemotePort = std::stoi(Link->Address());
    link.LocalPort = LocalUdpPort;
    return link;
}

// ---- Update bundles ------------------------------------------------------------------------

std::vector<std::string> HexLines(std::uint16_t base, int records, std::uint8_t seed)
{
    std::vector<std::string> lines;
    for (int record = 0; record < records; ++record) {
        std::string data;
        for (int byte = 0; byte < 16; ++byte)
            data += ByteToHex(static_cast<std::uint8_t>(seed * 37 + record * 16 + byte * 7));
        lines.push_back(BuildHexRecord(HexRecordData, static_cast<std::uint16_t>(base + record * 16), data));
    }
    lines.push_back(":00000001FF");
    return lines;
}

std::string JoinLines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

bool HoldsImage(const SimulatedCard::FlashArea& area, const std::vector<std::string>& lines)
{
    std::vector<std::uint8_t> image(HexImageSize, HexUnwrittenByte);
    for (const std::string& line : lines) {
        const HexRecord record = ParseHexRecord(line);
        if (record.Type != HexRecordData)
            continue;
        for (std::size_t i = 0; i < record.Data.size(); ++i)
            image[(record.Address + i) % HexImageSize] = static_cast<std::uint8_t>(record.Data[i]);
    }
    return std::equal(image.begin() + area.First, image.begin() + area.Last + 1, area.Image.begin() + area.First);
}

bool HoldsBundle(const SimulatedCard& card, const UpdateBundle& bundle)
{
    const std::vector<std::uint8_t>& memory = card.Jtag().Devices()[0].Memory();
    return HoldsImage(card.BootArea(), bundle.Boot) && HoldsImage(card.Bank(0), bundle.Bank0) &&
           HoldsImage(card.Bank(1), bundle.Bank1) && card.BootArea().Verified && card.Bank(0).Verified &&
           card.Bank(1).Verified && std::equal(bundle.JtagMemory.begin(), bundle.JtagMemory.end(), memory.begin()) &&
           card.Versions() == std::map<char, std::string>{{'0', "0102"}, {'8', "0200"}} && card.OptionCode() == "0000" &&
           card.CurrentMode() == SimulatedCard::Mode::Firmware;
}

UpdateBundle WriteUpdateBundle(const TempDir& dir)
{
    UpdateBundle bundle;
    bundle.Boot = HexLines(0x4000, 6, 1);
    bundle.Bank0 = HexLines(0x0100, 6, 2);
    bundle.Bank1 = HexLines(0x8000, 6, 3);
    for (const char* word : JtagWords) {
        const std::string text = word;
        for (std::size_t at = text.size(); at >= 2; at -= 2)
            bundle.JtagMemory.push_back(static_cast<std::uint8_t>(HexToWord("00" + text.substr(at - 2, 2))));
    }
    dir.Write("BOOT_EXT_OPTION.HEX", JoinLines(bundle.Boot));
    dir.Write("MB/BANK0.HEX", JoinLines(bundle.Bank0));
    dir.Write("MB/BANK1.HEX", JoinLines(bundle.Bank1));
    dir.Write("MB/PROM.SVF", EffectFile());
    dir.Write("script.ini", "rem full update\r\nCM\r\nM0\r\nC0\r\n");
    dir.Write("MB/script.ini",
              "T0 0102\r\nP0 BANK0.HEX\r\nP1 BANK1.HEX\r\nV0 0102\r\nD0\r\nF0\r\n"
              "T8 0200\r\nD8\r\nP8 PROM.SVF\r\nV8 0200\r\nF8\r\n");
    dir.Write("EXT/script.ini", "prompt Ext card\r\nUV 0105\r\nRS\r\n");
    return bundle;
}
