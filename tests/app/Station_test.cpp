// What a test station's own software drives: batch mode's JSON lines, and the
// search of the LAN for cards, with corvane-updater and corvane-cardsim as processes.
#include "AppBench.h"
#include "BatchJson.h"
#include "CardProcess.h"
#include "RunProcess.h"
#include "TempDir.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>

namespace {

using Lines = std::vector<std::string>;

// Every line of the output, parsed; a line that is not one JSON object fails the test.
std::vector<QJsonObject> JsonLines(const std::string& out)
{
    std::vector<QJsonObject> objects;
    for (const std::string& line : SplitLines(out)) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << line;
        EXPECT_TRUE(document.isObject()) << line;
        objects.push_back(document.object());
    }
    return objects;
}

std::vector<QJsonObject> Events(const std::vector<QJsonObject>& objects, const QString& name, const QString& port = {})
{
    std::vector<QJsonObject> found;
    for (const QJsonObject& object : objects)
        if (object["event"].toString() == name && (port.isEmpty() || object["port"].toString() == port))
            found.push_back(object);
    return found;
}

qint64 TimeMs(const QJsonObject& object)
{
    return QDateTime::fromString(object["time"].toString(), Qt::ISODateWithMs).toMSecsSinceEpoch();
}

}  // namespace

// Three cards, one of which refuses the erase of bank 1: every line of stdout
// is one JSON object, and the events tell each card's start, lines, progress
// and end, then the summary.
TEST(JsonOutput, ThreeCardsOneFailingEveryLineParses)
{
    TempDir dir;
    WriteUpdateBundle(dir);
    TempDir tcpDir, udpDir, ptyDir;
    CardProcess tcp(Transport::Tcp, tcpDir);
    CardProcess udp(Transport::Udp, udpDir, {"--refuse", "P1"});
    CardProcess pty(Transport::Pty, ptyDir);
    ASSERT_TRUE(tcp.Started && udp.Started && pty.Started);
    const QString tcpPort = QString::fromStdString("tcp://127.0.0.1:" + tcp.Address);
    // Events name a link as every report does: without the local port asked for.
    const std::string udpArgument = "udp://127.0.0.1:" + udp.Address + "?local=0";
    const QString udpPort = QString::fromStdString("udp://127.0.0.1:" + udp.Address);
    const QString ptyPort = QString::fromStdString(pty.Address);

    const ProcessResult result =
        RunProcess({CORVANE_UPDATER, "--batch", "--json", "--app-dir", dir.Path(), "--port", tcpPort.toStdString(),
                    "--port", udpArgument, "--port", ptyPort.toStdString()},
                   std::chrono::seconds(60));
    EXPECT_EQ(result.ExitCode, 1) << result.Err;
    const std::vector<QJsonObject> objects = JsonLines(result.Out);
    ASSERT_FALSE(objects.empty());

    for (const QString& port : {tcpPort, udpPort, ptyPort}) {
        EXPECT_EQ(Events(objects, "start", port).size(), 1u) << port.toStdString();
        const std::vector<QJsonObject> ends = Events(objects, "end", port);
        ASSERT_EQ(ends.size(), 1u) << port.toStdString();
        const bool failing = port == udpPort;
        EXPECT_EQ(ends[0]["result"].toString(), failing ? "failed" : "completed");
        EXPECT_EQ(ends[0]["message"].toString(), failing ? "Error while erasing !!!" : "Program operation completed");
        EXPECT_EQ(ends[0]["device_id"].toString(), "AAAA");
        EXPECT_GT(ends[0]["lines_sent"].toInt(), 0);
        EXPECT_FALSE(Events(objects, "status", port).empty());
        EXPECT_EQ(Events(objects, "device", port).size(), 1u);

        // Progress at most four times a second: five in a row span a second at least.
        const std::vector<QJsonObject> progress = Events(objects, "progress", port);
        EXPECT_TRUE(failing || !progress.empty()) << port.toStdString();
        for (std::size_t first = 0; first + 4 < progress.size(); ++first)
            EXPECT_GE(TimeMs(progress[first + 4]) - TimeMs(progress[first]), 995) << port.toStdString();
        for (const QJsonObject& object : progress)
            for (const char* bar : {"operation", "component", "update"})
                EXPECT_TRUE(object[bar].toInt() >= 0 && object[bar].toInt() <= 100) << bar;
    }
    const std::vector<QJsonObject> statusOfTcp = Events(objects, "status", tcpPort);
    EXPECT_EQ(statusOfTcp.back()["text"].toString(), "Program operation completed");
    const std::vector<QJsonObject> boxes = Events(objects, "box", udpPort);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0]["kind"].toString(), "error");
    EXPECT_EQ(boxes[0]["text"].toString().toStdString(), "Error while erasing !!!\n" + dir.Path() + "MB/script.ini");

    // The summary comes last, with the exit code and every card in the order given.
    const QJsonObject summary = objects.back();
    ASSERT_EQ(summary["event"].toString(), "summary");
    EXPECT_EQ(summary["exit_code"].toInt(), 1);
    const QJsonArray cards = summary["cards"].toArray();
    ASSERT_EQ(cards.size(), 3);
    EXPECT_EQ(cards[0].toObject()["port"].toString(), tcpPort);
    EXPECT_EQ(cards[1].toObject()["port"].toString(), udpPort);
    EXPECT_EQ(cards[1].toObject()["result"].toString(), "failed");
    EXPECT_EQ(cards[2].toObject()["port"].toString(), ptyPort);
    EXPECT_EQ(cards[2].toObject()["result"].toString(), "completed");
    EXPECT_EQ(Events(objects, "summary").size(), 1u);
    for (const QJsonObject& object : objects)
        EXPECT_TRUE(object.contains("port") || object["event"].toString() == "summary");
    EXPECT_FALSE(Contains(result.Err, "Error while erasing")) << "the box is an event, not a line on stderr";
}

// A file name of bytes that are not UTF-8, named in a script, still makes
// valid JSON when the check at START names it: it reads byte by byte as Latin-1.
TEST(JsonOutput, ScriptBytesStayValid)
{
    TempDir dir;
    dir.Write("script.ini", "CM\r\n");
    dir.Write("MB/script.ini", "P0 caf\xE9\x01\xFF.hex\r\n");
    const ProcessResult result = RunProcess(
        {CORVANE_UPDATER, "--batch", "--json", "--app-dir", dir.Path(), "--port", "tcp://127.0.0.1:1", "--timeout", "1"},
        std::chrono::seconds(60));
    EXPECT_EQ(result.ExitCode, 1);
    const std::vector<QJsonObject> objects = JsonLines(result.Out);
    ASSERT_FALSE(objects.empty()) << result.Err;
    const QString missing = QString::fromStdString(dir.Path() + "MB/script.ini:1: " + dir.Path() + "MB/caf") +
                            QStringLiteral("\u00E9\u0001\u00FF.hex File not found !!!");
    std::vector<QString> texts;
    for (const QJsonObject& object : Events(objects, "status"))
        texts.push_back(object["text"].toString());
    EXPECT_NE(std::find(texts.begin(), texts.end(), missing), texts.end()) << result.Out;
    EXPECT_EQ(objects.back()["event"].toString(), "summary");
    EXPECT_EQ(objects.back()["exit_code"].toInt(), 1);
}

// Whatever bytes a card sends end up in status lines, boxes and messages: each
// of the 256 byte values, in any of them, gives one valid JSON line that reads
// back as the bytes did.
TEST(JsonOutput, EveryByteFromACardStaysValid)
{
    TempDir dir;
    std::vector<std::unique_ptr<TBatchMode::TCard>> cards;
    cards.push_back(std::make_unique<TBatchMode::TCard>());
    TBatchMode::TCard& card = *cards.front();
    card.Port = "udp://127.0.0.1:1";
    card.Session = std::make_unique<TUpdateSession>(dir.Path());
    std::vector<std::string> written;
    TBatchJson json(cards, [&written](const std::string& line) { written.push_back(line); });

    std::string bytes;
    for (int value = 0; value < 256; ++value)
        bytes += static_cast<char>(value);
    json.StatusLine(card, bytes);
    json.Box(card, TBoxKind::Error, "ID Number : " + bytes);
    TSummaryRow row;
    row.Port = card.Port;
    row.Result = TUpdateSession::TRunResult::Failed;
    row.Message = bytes + "\r\n";
    json.Ended(card, row);
    json.Summary({row}, 1);
    ASSERT_EQ(written.size(), 4u);
    for (const std::string& line : written)
        EXPECT_EQ(line.find('\n'), std::string::npos);
    const std::vector<QJsonObject> objects = JsonLines(JoinLines(written));
    ASSERT_EQ(objects.size(), 4u);
    const QString expected = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    EXPECT_EQ(objects[0]["text"].toString(), expected);
    EXPECT_EQ(objects[1]["text"].toString(), "ID Number : " + expected);
    EXPECT_EQ(objects[2]["message"].toString(), expected + "\r\n");
    EXPECT_EQ(objects[3]["cards"].toArray()[0].toObject()["message"].toString(), expected + "\r\n");
}

// Cards on three of the addresses 127.0.0.2 to 127.0.0.9, all on one port:
// exactly those three are listed, and none of them heard anything but the query.
TEST(FindCards, ListsTheCardsThatAnswerAndSendsThemOnlyTheQuery)
{
    std::vector<std::unique_ptr<TempDir>> dirs;
    std::vector<std::unique_ptr<CardProcess>> cards;
    std::string port;
    for (const char* address : {"127.0.0.3", "127.0.0.5", "127.0.0.8"}) {
        dirs.push_back(std::make_unique<TempDir>());
        const std::vector<std::string> type = {"--type", address == std::string("127.0.0.5") ? "58" : "57"};
        cards.push_back(std::make_unique<CardProcess>(Transport::Udp, *dirs.back(), type, address,
                                                      static_cast<std::uint16_t>(port.empty() ? 0 : std::stoi(port))));
        ASSERT_TRUE(cards.back()->Started) << address;
        port = cards.front()->Address;
    }

    const ProcessResult found = RunProcess({CORVANE_UPDATER, "--find", "127.0.0.2-9", "--find-port", port});
    EXPECT_EQ(found.ExitCode, 0) << found.Err;
    EXPECT_EQ(SplitLines(found.Out), (Lines{"udp://127.0.0.3:" + port + "  DEV 57", "udp://127.0.0.5:" + port + "  DEV 58",
                                            "udp://127.0.0.8:" + port + "  DEV 57"}));
    for (const std::unique_ptr<CardProcess>& card : cards) {
        const QJsonObject state = card->State();
        EXPECT_EQ(state["mode"].toString(), "firmware");
        EXPECT_EQ(state["firmware_commands"].toObject(), (QJsonObject{{"?", 1}}));
        EXPECT_EQ(state["counts"].toObject()["commands"].toInt(), 1);
        const QJsonArray traffic = state["traffic"].toArray();
        ASSERT_EQ(traffic.size(), 1);
        EXPECT_EQ(traffic[0].toObject()["from_pc"].toInt(), 1);
    }

    // Nobody there: nothing on stdout, and exit code 1.
    const ProcessResult none = RunProcess({CORVANE_UPDATER, "--find", "127.0.0.2-9", "--find-port", port});
    EXPECT_EQ(none.ExitCode, 1);
    EXPECT_TRUE(none.Out.empty()) << none.Out;
    EXPECT_TRUE(Contains(none.Err, "No card answered on 8 address(es)")) << none.Err;
}

TEST(FindCards, RangesThatCannotBeSearchedAreWrongUsage)
{
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--find", "10.0.0.0/21"}, {"--find", "10.0.0.9-3"}, {"--find", "10.0.0.1"},
          {"--find", "10.0.0.0/24", "--find-port", "0"}, {"--find", "10.0.0.0/24", "--find-port", "65536"},
          {"--find-port", "10500"}}) {
        std::vector<std::string> argv = {CORVANE_UPDATER};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        const ProcessResult result = RunProcess(argv);
        EXPECT_EQ(result.ExitCode, 2) << arguments[1];
        EXPECT_TRUE(Contains(result.Err, "usage: corvane-updater")) << result.Err;
        EXPECT_TRUE(result.Out.empty());
    }
}
