#include "SimulatedCard.h"

#include "hex.h"

#include <gtest/gtest.h>

namespace {

const std::string Esc = "\x1B";

// A card on the bench: what it sends is collected, time only moves when told.
class Bench {
public:
    explicit Bench(CardOptions options = {}) : Card(options, [this] { return NowMs; })
    {
        Card.OnOutput = [this](const std::string& bytes) { Output += bytes; };
        Card.OnDisconnect = [this] { ++Disconnects; };
    }
    // Sends bytes and returns what the card answered to them.
    std::string Tx(const std::string& bytes)
    {
        Output.clear();
        Card.Receive(bytes);
        return Output;
    }
    void HandOver()
    {
        Tx("1yU");
        Tx("254yU");
        NowMs += SimulatedCard::SyncQuietMs;
        ASSERT_EQ(Tx("%"), ".");
        ASSERT_EQ(Tx("57"), ".4000AAAA.");
    }

    std::uint64_t NowMs = 1000;
    std::string Output;
    int Disconnects = 0;
    SimulatedCard Card;
};

std::string Record(std::uint8_t type, std::uint16_t address, const std::string& data)
{
    return BuildHexRecord(type, address, data) + "\r\n";
}

}  // namespace

TEST(CardFirmware, AnswersTheVariableProtocolAndHandsOverOnOneThen254)
{
    Bench bench;
    EXPECT_EQ(bench.Tx("?"), "DEV57\r\n");
    EXPECT_EQ(bench.Tx("12@"), "ADBG12\r\n");
    EXPECT_EQ(bench.Tx("7>$#"), "DDBG7\r\n$\r\n#\r\n");
    EXPECT_EQ(bench.Tx("%"), "");  // the firmware does not know the boot loader's probe
    // 254 alone does not hand over; 1 then 254 does, also split over arrivals.
    EXPECT_EQ(bench.Tx("254yU"), "UPD254\r\n");
    EXPECT_EQ(bench.Card.CurrentMode(), SimulatedCard::Mode::Firmware);
    EXPECT_EQ(bench.Tx("1y"), "");
    EXPECT_EQ(bench.Tx("U25"), "UPD1\r\n");
    EXPECT_EQ(bench.Tx("4yU"), "UPD254\r\n");
    EXPECT_EQ(bench.Card.CurrentMode(), SimulatedCard::Mode::BootLoader);
    EXPECT_EQ(bench.Tx("?"), "");  // the boot loader ignores the firmware's query
}

TEST(CardBootLoader, SynchronisesOnceForProbesAlreadyInFlight)
{
    CardOptions options;
    options.StartInBootLoader = true;
    options.DeviceType = 58;
    options.DeviceId = 0x1234;
    Bench bench(options);
    EXPECT_EQ(bench.Tx("%"), ".");
    EXPECT_EQ(bench.Tx("%%"), "");
    bench.NowMs += SimulatedCard::SyncQuietMs;
    EXPECT_EQ(bench.Tx("%"), ".");
    EXPECT_EQ(bench.Tx("57"), "X");
    // An erased extended boot sums to E000; the boot loader adds 6000.
    EXPECT_EQ(bench.Tx("58"), ".40001234.");
    EXPECT_EQ(bench.Tx("FI"), ".");
    EXPECT_EQ(bench.Card.CurrentMode(), SimulatedCard::Mode::Firmware);
    EXPECT_EQ(bench.Tx("?"), "DEV58\r\n");
}

TEST(CardBootLoader, BankUploadStoresTheImageAndVerifiesItsSum)
{
    Bench bench;
    bench.HandOver();
    const std::vector<std::string> lines = {":0280000001027B", "not a record", ":00000001FF"};
    EXPECT_EQ(bench.Tx("P2"), "..");
    for (const std::string& line : lines)
        EXPECT_EQ(bench.Tx(line + "\r\n"), ".");
    EXPECT_EQ(bench.Tx(":0280020003047C\r\n"), "R");  // damaged: asked again, not stored
    const std::uint16_t sum = HexImageChecksum(lines, 0x8000, 0xFFFF);
    EXPECT_EQ(bench.Tx(Record(HexRecordChecksum, 0, WordToHex(sum))), ".");
    const SimulatedCard::FlashArea& bank = bench.Card.Bank(2);
    EXPECT_TRUE(bank.Verified);
    EXPECT_EQ(bank.Erases, 1u);
    EXPECT_EQ(bank.Image[0x8000], 0x01);
    EXPECT_EQ(bank.Image[0x8001], 0x02);
    EXPECT_EQ(bank.Image[0x8002], 0xFF);
    EXPECT_EQ(bank.Sum(), sum);
    EXPECT_EQ(bench.Card.RetransmissionsRequested(), 1u);

    // Bank 0 is the lower half: data above 8000 does not count, and a sum
    // computed over the upper half is refused.
    EXPECT_EQ(bench.Tx("P0"), "..");
    EXPECT_EQ(bench.Tx(Record(0x00, 0x8000, "55")), ".");
    EXPECT_EQ(bench.Tx(Record(HexRecordChecksum, 0, "7F56")), "X");
    EXPECT_FALSE(bench.Card.Bank(0).Verified);
    EXPECT_EQ(bench.Card.Bank(0).Sum(), 0x8000);
    EXPECT_EQ(bench.Tx("RS"), ".");  // back at the command prompt
}

TEST(CardBootLoader, ExtendedBootSumIsReportedAtTheNextSynchronisation)
{
    Bench bench;
    bench.HandOver();
    const std::vector<std::string> lines = {":024000000102BB", ":00000001FF"};
    EXPECT_EQ(bench.Tx("PB"), "..");
    EXPECT_EQ(bench.Tx(lines[0] + "\r\n"), ".");
    EXPECT_EQ(bench.Tx(lines[0] + "\r\n"), ".");
    EXPECT_EQ(bench.Tx(lines[1] + "\r\n"), ".");
    EXPECT_EQ(bench.Tx(":0200000CDE050F\r\n"), ".");
    EXPECT_TRUE(bench.Card.BootArea().Verified);
    bench.NowMs += SimulatedCard::SyncQuietMs;
    EXPECT_EQ(bench.Tx("%"), ".");
    EXPECT_EQ(bench.Tx("57"), "." + WordToHex(0xDE05 + 0x6000) + "AAAA.");
}

TEST(CardBootLoader, ProbeAbandonsAnUnfinishedUpload)
{
    Bench bench;
    bench.HandOver();
    EXPECT_EQ(bench.Tx("P3"), "..");
    EXPECT_EQ(bench.Tx(":0280"), "");
    bench.NowMs += SimulatedCard::SyncQuietMs;
    EXPECT_EQ(bench.Tx("%"), ".");
    EXPECT_EQ(bench.Tx("NP"), ".");
}

TEST(CardInterpreter, VersionsPingsAndTexts)
{
    CardOptions options;
    options.Versions[8] = "0100";
    options.AbsentCards = {4};
    Bench bench(options);
    bench.HandOver();
    EXPECT_EQ(bench.Tx("T0"), ".0000.");
    EXPECT_EQ(bench.Tx("T8"), ".0100.");
    EXPECT_EQ(bench.Tx("V0"), ".");
    EXPECT_EQ(bench.Tx("0102"), ".");
    EXPECT_EQ(bench.Tx("T0"), ".0102.");
    EXPECT_EQ(bench.Tx("UV0200"), "..");
    EXPECT_EQ(bench.Tx("OP"), ".");
    EXPECT_EQ(bench.Tx("00A5"), ".");
    EXPECT_EQ(bench.Tx("M3M4"), ".X");
    EXPECT_EQ(bench.Tx("D5F5F8"), ".5A...");
    EXPECT_EQ(bench.Tx("D9Q1"), "II");
    EXPECT_EQ(bench.Card.Versions().at('0'), "0102");
    EXPECT_EQ(bench.Card.UserVersion(), "0200");
    EXPECT_EQ(bench.Card.OptionCode(), "00A5");
}

TEST(CardInterpreter, RefusedCommandsFailWhereTheProtocolExpectsIt)
{
    CardOptions options;
    options.Faults.Refused = {"P1", "V2", "T3", "M0", "RS", "57"};
    Bench bench(options);
    bench.Tx("1yU254yU");
    EXPECT_EQ(bench.Tx("%"), ".");
    EXPECT_EQ(bench.Tx("57"), "X");
    EXPECT_EQ(bench.Tx("P1"), ".X");
    EXPECT_EQ(bench.Tx("V2"), ".");
    EXPECT_EQ(bench.Tx("0102"), "X");
    EXPECT_EQ(bench.Tx("T3"), ".X");
    EXPECT_EQ(bench.Tx("M0"), "X");
    EXPECT_EQ(bench.Tx("RS"), "I");
}

TEST(CardJtag, EffectRecordsWriteTheMemoryAndReadItBack)
{
    Bench bench;
    bench.HandOver();
    EXPECT_EQ(bench.Tx("D8"), ".A5E00D1C.");
    EXPECT_EQ(bench.Tx("P8"), ".");
    EXPECT_EQ(bench.Tx(Record(0x62, 8, "13")), ".");                  // SIR ERASE
    EXPECT_EQ(bench.Tx(Record(0x62, 8, "10")), ".");                  // SIR ADDRESS
    EXPECT_EQ(bench.Tx(Record(0xE3, 16, "00")), ".");                 // SDR fill 0000
    EXPECT_EQ(bench.Tx(Record(0x62, 8, "11")), ".");                  // SIR WRITE
    // A streamed word: 16 bytes 01..10 least significant first, then their sum.
    std::string word;
    unsigned sum = 0;
    for (unsigned byte = 1; byte <= 16; ++byte) {
        word += ByteToHex(byte);
        sum += byte;
    }
    const std::string stream = word + ByteToHex(sum);
    EXPECT_EQ(bench.Tx(Record(0x63, 128, ByteToHex(static_cast<std::uint32_t>(stream.size())))), Esc + ".");
    EXPECT_EQ(bench.Tx(stream.substr(0, 10)), "");
    EXPECT_EQ(bench.Tx(stream.substr(10)), ".");
    const std::vector<std::uint8_t>& memory = bench.Card.Jtag().Devices()[0].Memory();
    EXPECT_EQ(memory[0], 0x01);
    EXPECT_EQ(memory[15], 0x10);
    EXPECT_EQ(memory[16], 0xFF);

    // Read word 0 back: the capture reply carries the bytes and their sum.
    EXPECT_EQ(bench.Tx(Record(0x62, 8, "10")), ".");
    EXPECT_EQ(bench.Tx(Record(0xE3, 16, "00")), ".");
    EXPECT_EQ(bench.Tx(Record(0x62, 8, "12")), ".");
    EXPECT_EQ(bench.Tx(Record(0xF3, 128, "00")), stream + Esc + ".");
    EXPECT_EQ(bench.Tx("R"), stream + Esc + ".");  // asked again: sent again
    EXPECT_EQ(bench.Tx("."), ".");
    EXPECT_EQ(bench.Tx(":00000001FF\r\n"), ".");
    EXPECT_EQ(bench.Tx("F8"), ".");
    EXPECT_GE(bench.Card.RetransmissionsRequested(), 1u);
}

TEST(CardJtag, CaptureRepliesEscapeZeroAndEscapeBytes)
{
    Bench bench;
    bench.HandOver();
    EXPECT_EQ(bench.Tx("P8"), ".");
    EXPECT_EQ(bench.Tx(Record(0x62, 8, "14")), ".");  // SIR USER
    // Shift 1B 00 into the user register, then capture it.
    EXPECT_EQ(bench.Tx(Record(0x63, 64, "12")), Esc + ".");
    EXPECT_EQ(bench.Tx("1B00000000000000" "1B"), ".");
    EXPECT_EQ(bench.Tx(Record(0xF3, 64, "00")), Esc + Esc + Esc + "0" + Esc + "0" + Esc + "0" + Esc + "0" + Esc +
                                                    "0" + Esc + "0" + Esc + "0" + Esc + Esc + Esc + ".");
    // A stream whose sum is wrong is asked for again with the record.
    EXPECT_EQ(bench.Tx("."), ".");
    EXPECT_EQ(bench.Tx(Record(0x63, 8, "04")), Esc + ".");
    EXPECT_EQ(bench.Tx("0F0E"), "R");
    EXPECT_EQ(bench.Tx(Record(0x63, 8, "04")), Esc + ".");
    EXPECT_EQ(bench.Tx("0F0F"), ".");
    EXPECT_EQ(bench.Tx(Record(0x09, 0, "")), "X");  // no such record type
}

TEST(CardJtag, TapFollowsTheStateRecordsAndBypassesOtherDevices)
{
    CardOptions options;
    options.JtagIdCodes = {0x11111111, 0x22222222};
    Bench bench(options);
    bench.HandOver();
    EXPECT_EQ(bench.Tx("D8"), ".1111111122222222.");
    EXPECT_EQ(bench.Tx("P8"), ".");
    EXPECT_EQ(bench.Tx(":020000050001F8\r\n"), ".");  // STATE RESET IDLE
    EXPECT_EQ(bench.Card.Jtag().State(), TapState::Idle);
    EXPECT_EQ(bench.Tx(Record(0x04, 0, "0000000506")), ".");  // RUNTEST DRPAUSE 5 TCK
    EXPECT_EQ(bench.Card.Jtag().State(), TapState::DrPause);
    EXPECT_EQ(bench.Tx(Record(0x07, 0, "01")), ".");  // ENDDR IDLE
    // Both devices in BYPASS: a 1 shifted in comes out after two bits.
    EXPECT_EQ(bench.Tx(Record(0x62, 16, "FFFF")), ".");
    EXPECT_EQ(bench.Tx(Record(0x73, 3, "04")), Esc + ".");
    EXPECT_EQ(bench.Tx("0101"), "0404" + Esc + ".");
    EXPECT_EQ(bench.Tx("."), ".");
    EXPECT_EQ(bench.Card.Jtag().State(), TapState::Idle);
}

TEST(CardFaults, SeededRepeatsAreRepeatable)
{
    CardOptions options;
    options.Faults.RepeatRate = 0.3;
    options.Faults.Seed = 42;
    auto run = [&options] {
        Bench bench(options);
        bench.HandOver();
        bench.Tx("P1");
        std::string answers;
        for (int i = 0; i < 40; ++i)
            answers += bench.Tx(Record(0x00, static_cast<std::uint16_t>(0x8000 + i), "AA"));
        return answers;
    };
    const std::string first = run();
    EXPECT_EQ(first, run());
    EXPECT_NE(first.find('R'), std::string::npos);
    EXPECT_NE(first.find('.'), std::string::npos);
}

TEST(CardFaults, DamagedRecordsAreAskedForAgainAndNeverStored)
{
    CardOptions options;
    options.Faults.CorruptRate = 0.5;
    options.Faults.DropRate = 0.5;
    Bench bench(options);
    bench.HandOver();
    bench.Tx("P1");
    for (int i = 0; i < 50; ++i) {
        const std::string record = Record(0x00, static_cast<std::uint16_t>(0x8000 + i), "AA");
        while (bench.Tx(record) == "R") {
        }
    }
    EXPECT_GT(bench.Card.RetransmissionsRequested(), 0u);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(bench.Card.Bank(1).Image[static_cast<std::size_t>(0x8000 + i)], 0xAA);
    EXPECT_EQ(bench.Card.Bank(1).Image[0x8000 + 50], 0xFF);
}

TEST(CardFaults, NoiseGoesInFrontOfRepliesAndCannotBeginOne)
{
    CardOptions options;
    options.StartInBootLoader = true;
    options.Faults.NoiseRate = 0.5;
    options.Faults.Seed = 7;
    Bench bench(options);
    const std::string synchronised = bench.Tx("%");
    EXPECT_EQ(synchronised.back(), '.');
    int noisy = static_cast<int>(synchronised.size()) - 1;
    for (int i = 0; i < 200; ++i) {
        const std::string reply = bench.Tx("NP");
        ASSERT_EQ(reply.back(), '.');
        if (reply.size() == 1)
            continue;
        ASSERT_EQ(reply.size(), 2u);
        const auto noise = static_cast<unsigned char>(reply[0]);
        EXPECT_TRUE(noise == 0x00 || noise == 0x1B || noise == 0x7F || noise >= 0x80) << static_cast<int>(noise);
        ++noisy;
    }
    EXPECT_GT(noisy, 60);
    EXPECT_LT(noisy, 140);
    EXPECT_EQ(bench.Card.NoiseBytesSent(), static_cast<std::uint64_t>(noisy));
}

TEST(CardFaults, NoiseOnlyCardChattersButNeverAnswers)
{
    CardOptions options;
    options.StartInBootLoader = true;
    options.Faults.NoiseOnly = true;
    Bench bench(options);
    for (const char* command : {"%", "57"}) {
        const std::string reply = bench.Tx(command);
        ASSERT_FALSE(reply.empty()) << command;
        for (const char byte : reply) {
            const auto noise = static_cast<unsigned char>(byte);
            EXPECT_TRUE(noise == 0x00 || noise == 0x1B || noise == 0x7F || noise >= 0x80) << static_cast<int>(noise);
        }
    }
    EXPECT_GE(bench.Card.NoiseBytesSent(), 2u);
}

TEST(CardFaults, SilenceAndDisconnectAfterCountedCommands)
{
    CardOptions options;
    options.StartInBootLoader = true;
    options.Faults.CloseAfter = 2;
    options.Faults.SilentAfter = 3;
    Bench bench(options);
    EXPECT_EQ(bench.Tx("%"), ".");
    EXPECT_EQ(bench.Tx("NP"), ".");
    EXPECT_EQ(bench.Disconnects, 0);
    EXPECT_EQ(bench.Tx("NP"), ".");
    EXPECT_EQ(bench.Disconnects, 1);
    EXPECT_EQ(bench.Tx("NP"), "");
    EXPECT_EQ(bench.Tx("NP"), "");
}
