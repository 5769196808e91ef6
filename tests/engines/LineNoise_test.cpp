// Stray bytes in front of the card's replies, as a real line inserts them: every
// wait of every engine drops them, counts them and takes the reply behind, so
// the exchange is the one a clean line has. A text reply may also arrive in
// pieces with noise between them.
#include "InstCourante.h"
#include "progboot.h"
#include "progpsd.h"

#include "TempDir.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;
using Card = std::function<std::string(const std::string&)>;

// NUL, 0xFF, a line feed, ESC, DEL and two bytes with the high bit: none can begin a reply.
const Strings Noises = {std::string(1, '\0'), "\xFF", "\n", "\x1B", "\x7F", "\x80\xFE"};

// The replies of the table, each with noise in front, and after each "." that
// data follow; commands missing from the table get no answer.
Card NoisyTable(const std::map<std::string, Strings>& answers, const std::string& noise)
{
    return [answers, noise](const std::string& sent) {
        std::string reply;
        if (const auto found = answers.find(sent); found != answers.end())
            for (const std::string& part : found->second)
                reply += noise + part;
        return reply;
    };
}

struct Outcome {
    Strings Sent;
    Strings Events;
    std::size_t Noise = 0;
};

template <class Engine>
Outcome Operate(Engine& engine, TestHost& host, const std::string& line)
{
    RunLine(engine, line, 200);
    return {host.Sent, host.Events, host.Noise};
}

}  // namespace

TEST(LineNoise, BootLoaderSynchronisesAndUploadsBehindNoise)
{
    const std::string hex = ":0240000001020000\r\n:00000001FF\r\n";
    for (const std::string& noise : Noises) {
        TProgBoot engine;
        TestHost host(engine);
        TempDir dir;
        dir.Write("BOOT.HEX", hex);
        engine.SetCurentDir(dir.Path());
        host.Card = NoisyTable({{"%", {"."}}, {"57", {"X"}}, {"58", {".", "7234", "AAAA."}}, {"PB", {".", "."}}}, noise);
        const Outcome sync = Operate(engine, host, "SYN");
        EXPECT_EQ(host.EventsOf("deviceid"), Strings{"43690"}) << int(noise[0]);
        EXPECT_EQ(host.EventsOf("error"), Strings{});
        // "%" once, the two device types, the identification in two pieces.
        EXPECT_EQ(sync.Noise, 5 * noise.size());

        host.Card = [noise](const std::string& sent) { return sent == "PB" ? noise + "." + noise + "." : noise + "."; };
        Operate(engine, host, "PB BOOT.HEX");
        EXPECT_EQ(host.EventsOf("error"), Strings{});
        EXPECT_EQ(host.Sent.size(), 8u);  // %, 57, 58, PB, line 0 twice, line 1, the checksum record
        EXPECT_FALSE(engine.IsBusy());
    }
}

TEST(LineNoise, BankUploadAndIdentifierBehindNoise)
{
    for (const std::string& noise : Noises) {
        TProgPsd engine;
        TestHost host(engine);
        TempDir dir;
        dir.Write("BANK.HEX", ":024000000102BB\r\n:00000001FF\r\n");
        engine.SetCurentDir(dir.Path());
        engine.SetUpdateAllowed(true);
        host.Card = [noise](const std::string& sent) { return sent == "P2" ? noise + "." + noise + "." : noise + "."; };
        Operate(engine, host, "P2 BANK.HEX");
        EXPECT_EQ(host.EventsOf("error"), Strings{}) << int(noise[0]);
        EXPECT_EQ(host.EventsOf("info"), (Strings{"Erase Bank2", "Upload Bank2", "Verify Bank2"}));
        EXPECT_EQ(host.Sent.size(), 5u);  // P2, line 0 twice, line 1, the checksum record

        host.Card = NoisyTable({{"D3", {".", "A", "B."}}}, noise);
        const Outcome identified = Operate(engine, host, "D3");
        EXPECT_EQ(host.EventsOf("info").back(), "ID Number : AB");
        // Two in front of the erase's replies, four of the lines' and the record's, three in "D3"'s.
        EXPECT_EQ(identified.Noise, 9 * noise.size());
    }
}

TEST(LineNoise, CardChecksReadVersionsAndPingsBehindNoise)
{
    for (const std::string& noise : Noises) {
        TInstCrt engine;
        TestHost host(engine);
        Strings same;
        engine.OnVersionSame = [&](TGestionnaire&, std::int32_t component) { same.push_back(std::to_string(component)); };
        host.Card = NoisyTable({{"T1", {".", "01", "02."}}, {"V2", {"."}}, {"0300", {"."}}, {"M3", {"X"}}}, noise);
        Operate(engine, host, "T1 0102");
        Operate(engine, host, "V2 0300");
        Operate(engine, host, "M3");
        EXPECT_EQ(same, Strings{"1"}) << int(noise[0]);
        EXPECT_EQ(host.EventsOf("error"), Strings{});
        EXPECT_EQ(host.EventsOf("info").back(), "Ping Error");
        EXPECT_EQ(host.Noise, 6 * noise.size());
        EXPECT_FALSE(engine.IsBusy());
    }
}

// A chattering card: text in front of an acknowledgement that no wait accepts goes as noise too.
TEST(LineNoise, PrintableTextThatCannotBeginTheReplyIsDropped)
{
    TInstCrt engine;
    TestHost host(engine);
    host.Card = NoisyTable({{"RS", {"."}}}, "hello");
    Operate(engine, host, "RS");
    EXPECT_FALSE(engine.IsBusy());
    EXPECT_EQ(host.EventsOf("error"), Strings{});
    EXPECT_EQ(host.Noise, 5u);
}
