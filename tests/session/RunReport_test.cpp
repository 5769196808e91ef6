// The report of each run: its files, what they hold, and a report that cannot
// be written.
#include "RunReport.h"
#include "SessionBench.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <regex>

namespace {

using TRunResult = TUpdateSession::TRunResult;

std::vector<std::string> FilesIn(const std::string& folder)
{
    std::vector<std::string> names;
    if (!std::filesystem::is_directory(folder))
        return names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

QJsonObject ReadReport(const std::string& path)
{
    QJsonParseError error{};
    const std::string text = ReadFile(path);
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << path << ": " << error.errorString().toStdString();
    return document.object();
}

QString S(const char* text) { return QString::fromUtf8(text); }

// The entry of the "lines" array whose text is the given one.
QJsonObject LineWithText(const QJsonObject& report, const QString& text)
{
    for (const QJsonValue& line : report[S("lines")].toArray())
        if (line[S("text")].toString() == text)
            return line.toObject();
    ADD_FAILURE() << "no line " << text.toStdString();
    return {};
}

std::vector<std::pair<QString, QString>> Skips(const QJsonObject& report)
{
    std::vector<std::pair<QString, QString>> skips;
    for (const QJsonValue& skip : report[S("skipped")].toArray())
        skips.emplace_back(skip[S("component")].toString(), skip[S("reason")].toString());
    return skips;
}

struct ReportBench {
    explicit ReportBench(CardOptions options = {}) : Run(Transport::Tcp, options) { WriteUpdateBundle(Run.Bench.Dir); }
    void Open()
    {
        Run.Open();
        Report = std::make_unique<TRunReport>(Run.Bench.Session(), Folder());
    }
    std::string Folder() const { return Run.Path("reports"); }
    QJsonObject Last() const { return ReadReport(Report->LastJsonPath()); }

    RunBench Run;
    std::unique_ptr<TRunReport> Report;
};

}  // namespace

TEST(RunReport, CompletedRunRecordsDeviceVersionsLinesAndCounts)
{
    CardOptions options;
    options.Versions = {{0, "0101"}};
    options.Faults.RepeatRate = 0.2;
    ReportBench bench(options);
    bench.Open();
    ASSERT_TRUE(bench.Run.Bench.Run());
    ASSERT_EQ(bench.Run.Bench.RunEnds, std::vector<TRunResult>{TRunResult::Completed});

    const std::vector<std::string> files = FilesIn(bench.Folder());
    ASSERT_EQ(files.size(), 2u);
    const std::regex name(R"(\d{8}T\d{6}Z_tcp-127\.0\.0\.1-\d+_AAAA\.(json|log))");
    for (const std::string& file : files)
        EXPECT_TRUE(std::regex_match(file, name)) << file;

    const QJsonObject report = bench.Last();
    EXPECT_EQ(report[S("program_version")].toString(), S("1.5.0.0"));
    EXPECT_EQ(report[S("result")].toString(), S("completed"));
    EXPECT_EQ(report[S("message")].toString(), S("Program operation completed"));
    EXPECT_TRUE(report[S("failed_script")].isNull());
    EXPECT_EQ(report[S("connection")].toString(), S("TCP"));
    EXPECT_EQ(report[S("mode")].toString(), S("auto"));
    EXPECT_LE(report[S("start")].toString(), report[S("end")].toString());
    // The plan's estimate of a serial line's time, next to what this TCP run took.
    const TUpdatePlan& plan = bench.Run.Bench.Session().GetPlan();
    EXPECT_GT(plan.WireSeconds(), 0.1);
    EXPECT_DOUBLE_EQ(report[S("estimated_seconds")].toDouble(),
                     std::round((plan.WireSeconds() + plan.PauseSeconds()) * 10.0) / 10.0);
    const QDateTime start = QDateTime::fromString(report[S("start")].toString(), Qt::ISODateWithMs);
    const QDateTime end = QDateTime::fromString(report[S("end")].toString(), Qt::ISODateWithMs);
    EXPECT_DOUBLE_EQ(report[S("duration_seconds")].toDouble(), static_cast<double>(start.msecsTo(end)) / 1000.0);
    const QJsonObject device = report[S("device")].toObject();
    EXPECT_EQ(device[S("type")].toInt(), 57);
    EXPECT_EQ(device[S("id")].toString(), S("AAAA"));
    EXPECT_EQ(device[S("boot_checksum")].toString().size(), 4);

    const QJsonArray read = report[S("versions_read")].toArray();
    ASSERT_EQ(read.size(), 2);
    EXPECT_EQ(read[0][S("component")].toString(), S("0"));
    EXPECT_EQ(read[0][S("expected")].toString(), S("0102"));
    EXPECT_EQ(read[0][S("version")].toString(), S("0101"));
    EXPECT_EQ(read[0][S("script")].toString().toStdString(), bench.Run.Path("MB/script.ini"));
    EXPECT_EQ(read[0][S("line")].toInt(), 1);
    EXPECT_EQ(read[1][S("version")].toString(), S("0000"));

    std::vector<QString> written;
    for (const QJsonValue& version : report[S("versions_written")].toArray())
        written.push_back(version[S("command")].toString() + version[S("component")].toString() + ' ' + version[S("version")].toString());
    EXPECT_EQ(written, (std::vector<QString>{S("V0 0102"), S("V8 0200"), S("UV 0105"), S("OP 0000")}));

    // The session's own lines come first and last; script lines carry their file and number.
    const QJsonArray lines = report[S("lines")].toArray();
    EXPECT_EQ(lines.first()[S("text")].toString(), S("SYN"));
    EXPECT_TRUE(lines.first()[S("script")].isNull());
    EXPECT_EQ(lines.last()[S("text")].toString(), S("FI"));
    const QJsonObject ping = LineWithText(report, S("M0"));
    EXPECT_EQ(ping[S("script")].toString().toStdString(), bench.Run.Path("script.ini"));
    EXPECT_EQ(ping[S("line")].toInt(), 3);
    EXPECT_EQ(ping[S("sent")].toInt(), 1);
    int retransmissions = 0;
    for (const QJsonValue& line : lines) {
        EXPECT_EQ(line[S("result")].toString(), S("ok")) << line[S("text")].toString().toStdString();
        retransmissions += line[S("retransmissions")].toInt();
    }
    EXPECT_GT(retransmissions, 0);
    // "P" and erase, the file's lines plus line 0 once more, the checksum record, and each line sent again.
    const QJsonObject bank0 = LineWithText(report, S("P0 BANK0.HEX"));
    const std::string bankFile = ReadFile(bench.Run.Path("MB/BANK0.HEX"));
    const auto bankLines = static_cast<int>(std::count(bankFile.begin(), bankFile.end(), '\n'));
    EXPECT_EQ(bank0[S("sent")].toInt(), 3 + bankLines + bank0[S("retransmissions")].toInt());

    const std::string log = ReadFile(bench.Report->LastLogPath());
    EXPECT_TRUE(std::regex_search(log, std::regex(R"(\n\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z  Device ID : AAAA\n)"))) << log;
    EXPECT_NE(log.find("---- Summary\n"), std::string::npos);
    EXPECT_NE(log.find("Result      : completed : Program operation completed\n"), std::string::npos);
}

TEST(RunReport, SkippedComponentsSayWhy)
{
    CardOptions options;
    options.Versions = {{0, "0102"}};
    options.AbsentCards = {0};
    ReportBench bench(options);
    bench.Open();
    TUpdateSession& session = bench.Run.Bench.Session();
    ASSERT_TRUE(bench.Run.Bench.Run());
    EXPECT_EQ(Skips(bench.Last()), (std::vector<std::pair<QString, QString>>{{S("0"), S("up to date")}, {S("C0"), S("card absent")}}));

    session.SetManual(true);
    session.SetSelection({true, false, false});
    ASSERT_TRUE(bench.Run.Bench.Run());
    const QJsonObject manual = bench.Last();
    EXPECT_EQ(manual[S("mode")].toString(), S("manual"));
    EXPECT_EQ(Skips(manual), (std::vector<std::pair<QString, QString>>{
                                 {S("MCU"), S("unchecked")}, {S("PROM1"), S("unchecked")}, {S("C0"), S("card absent")}}));
    EXPECT_TRUE(manual[S("versions_read")].toArray().size() > 0);

    session.SetSelection({false, true, true});
    ASSERT_TRUE(bench.Run.Bench.Run());
    EXPECT_EQ(Skips(bench.Last()), (std::vector<std::pair<QString, QString>>{{S("MB"), S("unchecked")}, {S("C0"), S("card absent")}}));
}

TEST(RunReport, FailedRunNamesTheLineTheScriptAndTheMessage)
{
    CardOptions options;
    options.Faults.Refused = {"P1"};
    ReportBench bench(options);
    bench.Open();
    ASSERT_TRUE(bench.Run.Bench.Run());
    const QJsonObject report = bench.Last();
    EXPECT_EQ(report[S("result")].toString(), S("failed"));
    EXPECT_EQ(report[S("message")].toString(), S("Error while erasing !!!"));
    EXPECT_EQ(report[S("failed_script")].toString().toStdString(), bench.Run.Path("MB/script.ini"));
    const QJsonArray lines = report[S("lines")].toArray();
    const QJsonObject failed = lines.last().toObject();
    EXPECT_EQ(failed[S("text")].toString(), S("P1 BANK1.HEX"));
    EXPECT_EQ(failed[S("result")].toString(), S("failed"));
    EXPECT_EQ(failed[S("message")].toString(), S("Error while erasing !!!"));
    EXPECT_EQ(LineWithText(report, S("P0 BANK0.HEX"))[S("result")].toString(), S("ok"));
    EXPECT_TRUE(report[S("versions_written")].toArray().isEmpty());

    // A failure between lines is the run's, not the line's that went before it.
    bench.Run.Bench.CheckUpdate = false;
    bench.Run.Bench.Dir.Write("script.ini", "prompt first\r\nC5\r\n");
    ASSERT_TRUE(bench.Run.Bench.Run());
    const QJsonObject between = bench.Last();
    EXPECT_EQ(between[S("message")].toString(), S("Syntax Error in script file line : 2"));
    EXPECT_EQ(LineWithText(between, S("prompt first"))[S("result")].toString(), S("ok"));
}

TEST(RunReport, StoppedRunMarksTheLineItStoppedIn)
{
    ReportBench bench;
    bench.Open();
    // The card stops answering part-way through bank 1, so STOP comes during its upload.
    SimulatedCard& card = bench.Run.Card.Card;
    const std::function<void(const std::string&)> answer = card.OnOutput;
    card.OnOutput = [&card, answer](const std::string& bytes) {
        if (card.Bank(1).LinesWritten <= 2)
            answer(bytes);
    };
    bench.Run.Bench.Begin();
    ASSERT_TRUE(WaitUntil([&] { return bench.Run.Sim().Bank(1).LinesWritten > 2; }));
    bench.Run.Bench.Session().Stop();
    const QJsonObject report = bench.Last();
    EXPECT_EQ(report[S("result")].toString(), S("stopped"));
    const QJsonObject last = report[S("lines")].toArray().last().toObject();
    EXPECT_EQ(last[S("text")].toString(), S("P1 BANK1.HEX"));
    EXPECT_EQ(last[S("result")].toString(), S("stopped"));
    EXPECT_TRUE(last[S("message")].isNull());
}

TEST(RunReport, BytesThatAreNotUtf8StillGiveValidJson)
{
    ReportBench bench;
    bench.Run.Bench.Dir.Write("script.ini", "prompt caf\xC3\xA9\r\nprompt \xFF\xFE\x01\"\\ end\r\n");
    bench.Open();
    ASSERT_TRUE(bench.Run.Bench.Run());
    const QJsonObject report = bench.Last();
    const QJsonArray lines = report[S("lines")].toArray();
    EXPECT_EQ(lines[1][S("text")].toString(), QString::fromUtf8("prompt caf\xC3\xA9"));
    EXPECT_EQ(lines[2][S("text")].toString(), QString::fromLatin1("prompt \xFF\xFE\x01\"\\ end"));
}

TEST(RunReport, RunsInTheSameSecondKeepTheirOwnFiles)
{
    ReportBench bench;
    bench.Run.Bench.Dir.Write("script.ini", "prompt one\r\n");
    bench.Open();
    const QDateTime fixed = QDateTime(QDate(2024, 5, 1), QTime(10, 15, 0), Qt::UTC);
    bench.Report->Now = [fixed] { return fixed; };
    ASSERT_TRUE(bench.Run.Bench.Run());
    const std::string first = bench.Report->LastJsonPath();
    const std::string firstText = ReadFile(first);
    ASSERT_TRUE(bench.Run.Bench.Run());
    const std::string second = bench.Report->LastJsonPath();
    EXPECT_NE(first, second);
    EXPECT_NE(second.find("20240501T101500Z_"), std::string::npos);
    EXPECT_NE(second.find("_AAAA-2.json"), std::string::npos) << second;
    EXPECT_EQ(ReadFile(first), firstText);
    EXPECT_EQ(FilesIn(bench.Folder()).size(), 4u);  // no temporary file is left behind
}

TEST(RunReport, AFolderNameThatIsNotUtf8Works)
{
    ReportBench bench;
    bench.Run.Bench.Dir.Write("script.ini", "prompt one\r\n");
    bench.Open();
    const std::string folder = bench.Run.Path("r\xE9ports \xFF");
    bench.Report->SetFolder(folder);
    ASSERT_TRUE(bench.Run.Bench.Run());
    ASSERT_EQ(bench.Report->LastJsonPath().rfind(folder + '/', 0), 0u) << bench.Report->LastJsonPath();
    EXPECT_EQ(bench.Last()[S("result")].toString(), S("completed"));
    EXPECT_EQ(FilesIn(folder).size(), 2u);
}

TEST(RunReport, UnwritableFolderGivesOneMessageAndTheRunGoesOn)
{
    ReportBench bench;
    bench.Run.Bench.Dir.Write("file", "not a folder");
    bench.Open();
    bench.Report->SetFolder(bench.Run.Path("file/reports"));
    ASSERT_TRUE(bench.Run.Bench.Run());
    EXPECT_EQ(bench.Run.Bench.RunEnds, std::vector<TRunResult>{TRunResult::Completed});
    EXPECT_TRUE(bench.Report->LastJsonPath().empty());
    int messages = 0;
    for (const std::string& line : bench.Run.Bench.StatusLines)
        if (line.rfind("Run report not written : ", 0) == 0) {
            ++messages;
            EXPECT_NE(line.find(bench.Run.Path("file/reports") + " : Not a directory"), std::string::npos) << line;
        }
    EXPECT_EQ(messages, 1);
    EXPECT_TRUE(bench.Run.Bench.Boxes.empty());
}

TEST(RunReport, LinkNamesAndFileNames)
{
    TLinkSettings serial;
    serial.ComPort = "COM3";
    serial.SerialDevice = "/dev/ttyS2";
    EXPECT_EQ(LinkName(serial), "COM3 (/dev/ttyS2)");
    EXPECT_EQ(TRunReport::FileNamePort(LinkName(serial)), "COM3-dev-ttyS2");
    // A device given by its path is named once.
    serial.ComPort = serial.SerialDevice = "/dev/pts/0";
    EXPECT_EQ(LinkName(serial), "/dev/pts/0");
    TLinkSettings udp;
    udp.ConType = CON_UDP;
    udp.RemoteAddress = "10.0.0.5";
    udp.RemotePort = 10500;
    EXPECT_EQ(LinkName(udp), "udp://10.0.0.5:10500");
    udp.ConType = CON_TCP;
    EXPECT_EQ(LinkName(udp), "tcp://10.0.0.5:10500");
    EXPECT_EQ(TRunReport::FileNamePort("udp://10.0.0.5:10500"), "udp-10.0.0.5-10500");
    EXPECT_EQ(TRunReport::FileNamePort("/\xFF:"), "unknown");
}
