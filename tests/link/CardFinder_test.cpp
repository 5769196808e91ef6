// Finding cards on the LAN: the ranges an operator writes, the pacing of the
// queries, and a search over loopback addresses where some "cards" answer.
#include "AddressRange.h"
#include "CardFinder.h"
#include "EventLoopWait.h"
#include "ProbePacer.h"

#include <QHostAddress>
#include <QNetworkDatagram>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>

namespace {

std::uint32_t Address(const char* text) { return QHostAddress(QString::fromLatin1(text)).toIPv4Address(); }

// A card's UDP port on one loopback address: it records what it receives and
// answers each datagram as told.
class FakeCard {
public:
    FakeCard(const char* address, quint16 port, std::function<std::string(const std::string&)> answer)
        : Answer(std::move(answer))
    {
        Bound = Socket.bind(QHostAddress(QString::fromLatin1(address)), port);
        QObject::connect(&Socket, &QUdpSocket::readyRead, &Socket, [this] {
            while (Socket.hasPendingDatagrams()) {
                const QNetworkDatagram datagram = Socket.receiveDatagram();
                Received.push_back(datagram.data().toStdString());
                const std::string reply = Answer(Received.back());
                if (!reply.empty())
                    ReplyFrom->writeDatagram(QByteArray::fromStdString(reply), datagram.senderAddress(),
                                         static_cast<quint16>(datagram.senderPort()));
            }
        });
    }
    quint16 Port() const { return Socket.localPort(); }

    bool Bound = false;
    // The socket the answers leave from; another port than the one asked, if changed.
    QUdpSocket* ReplyFrom = &Socket;
    std::vector<std::string> Received;

private:
    std::function<std::string(const std::string&)> Answer;
    QUdpSocket Socket;
};

std::string Dev57(const std::string& query) { return query == "?" ? "DEV57\r\n" : std::string(); }

}  // namespace

TEST(AddressRange, NetworksAndLastPartRanges)
{
    std::vector<std::uint32_t> addresses;
    ASSERT_TRUE(AddressRange::Parse("192.168.0.77/24", addresses));
    ASSERT_EQ(addresses.size(), 254u);  // neither the network nor its broadcast address
    EXPECT_EQ(AddressRange::Text(addresses.front()), "192.168.0.1");
    EXPECT_EQ(AddressRange::Text(addresses.back()), "192.168.0.254");
    ASSERT_TRUE(AddressRange::Parse("10.1.4.0/22", addresses));
    EXPECT_EQ(addresses.size(), 1022u);
    EXPECT_EQ(AddressRange::Text(addresses.back()), "10.1.7.254");
    ASSERT_TRUE(AddressRange::Parse("10.0.0.7/31", addresses));
    EXPECT_EQ(addresses, (std::vector<std::uint32_t>{Address("10.0.0.6"), Address("10.0.0.7")}));
    ASSERT_TRUE(AddressRange::Parse("10.0.0.7/32", addresses));
    EXPECT_EQ(addresses, std::vector<std::uint32_t>{Address("10.0.0.7")});
    ASSERT_TRUE(AddressRange::Parse("127.0.0.2-9", addresses));
    ASSERT_EQ(addresses.size(), 8u);
    EXPECT_EQ(AddressRange::Text(addresses[7]), "127.0.0.9");
    ASSERT_TRUE(AddressRange::Parse("10.0.0.0-255", addresses));
    EXPECT_EQ(addresses.size(), 256u);

    for (const char* wrong : {"10.0.0.0/21", "10.0.0.0/33", "10.0.0.0/", "10.0.0.0/+24", "10.0.0.5-4", "10.0.0.5-256",
                              "10.0.0.5", "10.0.0/24", "10.0.0.0.0/24", "256.0.0.0/24", " 10.0.0.0/24", "10.0.0.0/24 ",
                              "10.0.-1.0/24", "10.0.0.1-", "a.b.c.d-e", ""})
        EXPECT_FALSE(AddressRange::Parse(wrong, addresses)) << wrong;
}

// Ticks come when they come (a late one among them); no second ever holds more
// queries than the rate, and they are spread over the second, not sent at once.
TEST(ProbePacer, NeverMoreThanTheRateInAnySecondAndSpreadEvenly)
{
    constexpr std::size_t Rate = 256;
    TProbePacer pacer(Rate);
    pacer.Begin(1000);
    std::vector<std::int64_t> sent;
    for (std::int64_t now = 1000; now < 6000; now += (now % 700 == 0 ? 1300 : 7)) {
        const std::size_t count = pacer.Allowance(now);
        pacer.Sent(now, count);
        sent.insert(sent.end(), count, now);
    }
    ASSERT_GT(sent.size(), 1000u);
    for (std::size_t first = 0; first + Rate < sent.size(); ++first)
        ASSERT_GE(sent[first + Rate] - sent[first], 1000) << "query " << first;

    TProbePacer fresh(Rate);
    fresh.Begin(0);
    EXPECT_EQ(fresh.Allowance(0), 1u);
    fresh.Sent(0, 1);
    EXPECT_EQ(fresh.Allowance(500), Rate / 2);
    // A long pause does not turn into a burst beyond the rate.
    EXPECT_EQ(fresh.Allowance(10000), Rate);
}

class CardSearch : public ::testing::Test {
protected:
    // Cards on three of the addresses, the others silent; all on one port.
    CardSearch()
    {
        Cards.push_back(std::make_unique<FakeCard>("127.0.0.3", 0, Dev57));
        const quint16 port = Cards.front()->Port();
        Cards.push_back(std::make_unique<FakeCard>("127.0.0.5", port, [](const std::string& query) {
            // Noise before the reply, in the same datagram.
            return query == "?" ? std::string("UPD3\r\nxx\r\nDEV58\r\n") : std::string();
        }));
        Cards.push_back(std::make_unique<FakeCard>("127.0.0.8", port, Dev57));
        // Answers that do not count: no "DEV" line, a zero byte before it.
        Cards.push_back(std::make_unique<FakeCard>("127.0.0.6", port, [](const std::string&) { return "DEVx\r\n"; }));
        Cards.push_back(std::make_unique<FakeCard>("127.0.0.7", port, [](const std::string&) {
            return std::string("U\0DEV57\r\n", 9);
        }));
        Port = port;
        Finder.SetPace(TCardFinder::DefaultPerSecond, 100);
        Finder.OnFinished = [this] { Finished = true; };
    }
    bool AllBound() const
    {
        return std::all_of(Cards.begin(), Cards.end(), [](const auto& card) { return card->Bound; });
    }

    std::vector<std::unique_ptr<FakeCard>> Cards;
    quint16 Port = 0;
    TCardFinder Finder;
    bool Finished = false;
};

TEST_F(CardSearch, ListsTheCardsThatAnswerWithTheirTypeAndSendsOnlyTheQuery)
{
    ASSERT_TRUE(AllBound());
    std::vector<std::uint32_t> addresses;
    ASSERT_TRUE(AddressRange::Parse("127.0.0.2-9", addresses));
    std::string error;
    ASSERT_TRUE(Finder.Start(addresses, Port, error)) << error;
    ASSERT_TRUE(WaitUntil([this] { return Finished; }));
    EXPECT_FALSE(Finder.IsRunning());
    EXPECT_EQ(Finder.Queried(), 8u);

    std::vector<std::string> found;
    for (const TCardFinder::TFoundCard& card : Finder.Found())
        found.push_back(TCardFinder::PortText(card) + " " + std::to_string(card.DeviceType));
    std::sort(found.begin(), found.end());
    const std::string port = std::to_string(Port);
    EXPECT_EQ(found, (std::vector<std::string>{"udp://127.0.0.3:" + port + " 57", "udp://127.0.0.5:" + port + " 58",
                                              "udp://127.0.0.8:" + port + " 57"}));
    for (const auto& card : Cards)
        EXPECT_EQ(card->Received, std::vector<std::string>{"?"});
}

// Only an answer to a query counts: from the address asked and the port asked.
TEST_F(CardSearch, AnswersFromElsewhereDoNotCount)
{
    ASSERT_TRUE(AllBound());
    FakeCard otherPort("127.0.0.3", 0, Dev57);
    ASSERT_TRUE(otherPort.Bound);
    std::string error;
    // Asked at the other port, the card on the usual one is not asked at all.
    ASSERT_TRUE(Finder.Start({Address("127.0.0.3")}, otherPort.Port(), error));
    ASSERT_TRUE(WaitUntil([this] { return Finished; }));
    EXPECT_EQ(Finder.Found().size(), 1u);
    EXPECT_TRUE(Cards.front()->Received.empty());

    // An answer that leaves from another port than the one asked is no card's.
    Finished = false;
    FakeCard elsewhere("127.0.0.4", 0, Dev57);
    QUdpSocket otherSocket;
    ASSERT_TRUE(otherSocket.bind(QHostAddress(QStringLiteral("127.0.0.4")), 0));
    elsewhere.ReplyFrom = &otherSocket;
    ASSERT_TRUE(Finder.Start({Address("127.0.0.4")}, elsewhere.Port(), error));
    ASSERT_TRUE(WaitUntil([this] { return Finished; }));
    EXPECT_EQ(elsewhere.Received, std::vector<std::string>{"?"});
    EXPECT_TRUE(Finder.Found().empty());
}

// The queries leave at the pace the clock allows: a clock that stands still
// lets the first one go and no other.
TEST_F(CardSearch, QueriesWaitForTheClock)
{
    std::int64_t now = 0;
    Finder.ClockMs = [&now] { return now; };
    Finder.SetPace(4, 100);
    std::vector<std::uint32_t> addresses;
    ASSERT_TRUE(AddressRange::Parse("127.0.0.2-9", addresses));
    std::string error;
    ASSERT_TRUE(Finder.Start(addresses, Port, error));
    WaitUntil([] { return false; }, 4 * TCardFinder::PaceTickMs);
    EXPECT_EQ(Finder.Queried(), 1u);
    now = 500;
    WaitUntil([this] { return Finder.Queried() == 3; }, 1000);
    EXPECT_EQ(Finder.Queried(), 3u);
    now = 1000;
    WaitUntil([this] { return Finder.Queried() == 5; }, 1000);
    EXPECT_EQ(Finder.Queried(), 5u);
    EXPECT_FALSE(Finished);
    now = 2000;
    ASSERT_TRUE(WaitUntil([this] { return Finished; }));
    EXPECT_EQ(Finder.Queried(), 8u);
    EXPECT_EQ(Finder.Found().size(), 3u);
}
