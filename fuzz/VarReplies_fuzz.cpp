// The link driver's receive path fed any bytes, in any pieces, over the serial
// port or as datagrams, switching between the variable protocol and raw mode as
// a run does.
//
// Input: one byte choosing the link (bit 0: UDP; bit 1: a byte of line noise
// goes in front of every arrival), then the arrivals separated by 0xFF; an
// arrival that begins with 0xFE first switches the mode.
#include "FuzzSupport.h"

#include "ComDriver.h"
#include "ComDriverFeed.h"

#include <QCoreApplication>

#include <memory>
#include <string>

namespace {

constexpr char ArrivalEnd = '\xFF';
constexpr char SwitchMode = '\xFE';
constexpr char LineEnd[] = "\r\n";
// Bytes a real line inserts: none can begin a reply, and none is lost before one.
constexpr char NoiseBytes[] = {'\x00', '\x1B', '\x7F', '\x80', '\xFE'};

bool IsReplyPrefix(const std::string& line)
{
    for (const char* prefix : TComDriver::VarReplyPrefixes)
        if (line.rfind(prefix, 0) == 0)
            return true;
    return false;
}

struct DriverWatch {
    explicit DriverWatch(TComDriver& driver)
    {
        driver.OnRecString = [this](TComDriver& sender, std::int32_t) {
            if (sender.GetConMode() == MODE_RAW) {
                Raw = sender.ReadRaw();
                return;
            }
            const std::string& line = sender.GetreceivedString();
            Require(line.find(LineEnd) == std::string::npos, "a reply line holds no line end");
            Require(IsReplyPrefix(line), "only a line with a reply prefix is accepted");
        };
    }
    std::string Raw;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication application(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const std::uint8_t selector = input.Byte();
    const bool udp = (selector & 1) != 0;
    const bool noisy = (selector & 2) != 0;
    TComDriver driver;
    DriverWatch watch(driver);
    std::size_t noise = 0;
    driver.SetIpLocalPort(0);
    driver.SetConType(udp ? CON_UDP : CON_RS232);  // no serial device is named: nothing opens

    for (std::string arrival : input.Pieces(ArrivalEnd)) {
        if (!arrival.empty() && arrival.front() == SwitchMode) {
            driver.SetConMode(driver.GetConMode() == MODE_VAR ? MODE_RAW : MODE_VAR);
            arrival.erase(0, 1);
        }
        if (noisy && !arrival.empty())
            arrival.insert(arrival.begin(), NoiseBytes[noise++ % std::size(NoiseBytes)]);
        watch.Raw.clear();
        if (udp)
            TComDriverFeed::CardDatagram(driver, arrival);
        else
            TComDriverFeed::Serial(driver, arrival);
        if (driver.GetConMode() == MODE_RAW) {
            // Every byte counts, a zero byte too.
            const std::string& arrived = arrival;
            Require(watch.Raw.size() >= arrived.size() &&
                        watch.Raw.compare(watch.Raw.size() - arrived.size(), arrived.size(), arrived) == 0,
                    "raw mode hands over every byte that arrived");
        }
    }

    if (driver.GetConMode() == MODE_VAR) {
        driver.SetConMode(MODE_RAW);
        const std::string tail = driver.ReadRaw();
        Require(tail.find(LineEnd) == std::string::npos, "every complete reply line has been parsed");
        Require(tail.size() <= TComDriver::MaxUnterminatedTail, "an unterminated tail is cut down");
    }
    driver.SetConType(CON_NONE);
    return 0;
}
