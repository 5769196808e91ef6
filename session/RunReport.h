// TRunReport: the record of every run of one session, left in a folder as one
// JSON file and one plain-text log per run.
//
// The report observes its session from START (or Read Id) to the end of the
// run and writes both files when the run ends, before the views hear of the
// end. The files are named by the UTC start time, the port and the device
// identifier, "20240501T101500Z_COM1-dev-ttyS0_AAAA.json" and ".log"; a name
// already taken gets "-2", "-3"... (TNewFilePublisher), and a file that is
// there is never replaced, on any file system. A report that cannot be written changes nothing in the run: one
// status line names the folder or file and the reason.
//
// Texts that come from scripts, paths and the card are bytes: the JSON holds
// them decoded from UTF-8 when the whole text is valid UTF-8, otherwise byte by
// byte as the characters U+0000 to U+00FF, so every report is valid JSON.
#pragma once

#include "NewFilePublisher.h"
#include "RunObserver.h"

#include <QDateTime>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QJsonObject;
class QJsonValue;

// The update bundle a run came from, in the report: plain texts, as the
// bundle's owner gives them.
struct TReportBundle {
    std::string FileName;
    std::string Sha256;
    std::string UpdateName;
    std::string SignerKeyId;  // empty: not signed
    bool SignerTrusted = false;  // verified with a trusted key
};

class TRunReport : public TRunObserver {
public:
    // folder: where the reports go; it is created when missing. The report
    // observes the session until it goes, which must be before the session.
    TRunReport(TUpdateSession& session, std::string folder);
    ~TRunReport() override;
    TRunReport(const TRunReport&) = delete;
    TRunReport& operator=(const TRunReport&) = delete;

    // Takes effect from the next run.
    void SetFolder(std::string folder) { Folder = std::move(folder); }
    const std::string& GetFolder() const { return Folder; }
    // The bundle the session's update was unpacked from; none for a plain folder.
    void SetBundle(std::optional<TReportBundle> bundle) { Bundle = std::move(bundle); }
    // What the last run did, in a few lines: the parts programmed, the
    // components skipped and why, the versions read and written; or that
    // nothing was programmed, and why when every component was skipped.
    std::vector<std::string> Account() const;
    // The last run had the card take and verify something.
    bool ProgrammedAnything() const { return !ProgrammedParts.empty(); }
    // The files of the last run; empty when it left none.
    const std::string& LastJsonPath() const { return JsonPath; }
    const std::string& LastLogPath() const { return LogPath; }

    // The link's name (LinkName) in a file name: runs of other characters become one "-".
    static std::string FileNamePort(const std::string& port);

    // How the files get their names; tests refuse its ways as some file systems do.
    TNewFilePublisher Publisher;
    // The clock of the report's times, always UTC.
    std::function<QDateTime()> Now = [] { return QDateTime::currentDateTimeUtc(); };

    void RunStarted() override;
    void StatusLine(const std::string& line) override;
    void DeviceType(std::uint32_t type) override;
    void BootChecksum(std::uint16_t checksum) override;
    void DeviceId(std::int32_t id) override;
    void LineStarted(const std::string& script, std::int32_t lineNumber, const std::string& line) override;
    void SentToCard(const std::string& text) override;
    void RetransmissionAsked() override;
    void LineEngineIdle() override;
    void LineFailed(const std::string& message) override;
    void VersionRead(const TCardText& text) override;
    void TextWritten(const TCardText& text) override;
    void ComponentSkipped(const std::string& component, TSkipReason reason) override;
    void Programmed(const std::string& part) override;
    void RunEnded(TUpdateSession::TRunResult result, const std::string& message, const std::string& script) override;

private:
    struct TLine {
        std::string Script;
        std::int32_t Number = 0;
        std::string Text;
        QDateTime Start;
        QDateTime End;
        std::int32_t Sent = 0;
        std::int32_t Retransmissions = 0;
        // The engine went idle: the line is done unless an error follows at once.
        bool EngineIdle = false;
        bool Settled = false;
        std::string Result;
        std::string Message;
    };
    struct TVersion {
        std::string Script;
        std::int32_t Line = 0;
        std::string Command;
        std::string Component;
        std::string Expected;
        std::string Version;
    };
    struct TSkipped {
        std::string Component;
        TSkipReason Reason;
    };
    struct TTimedLine {
        QDateTime Time;
        std::string Text;
    };

    TLine* OpenLine();
    void SettleLine(TLine& line, const std::string& result, const std::string& message);
    // The text as an entry of the open line, or of no line.
    TVersion VersionOfLine(const TCardText& text) const;

    QJsonObject ToJson() const;
    QJsonValue BundleJson() const;
    std::string LogText() const;
    std::string DeviceIdText() const;
    // Writes both files; false with the reason (folder or file, then why).
    bool WriteFiles(std::string& failure);

    TUpdateSession& Session;
    std::string Folder;
    std::optional<TReportBundle> Bundle;
    std::string JsonPath;
    std::string LogPath;

    bool InRun = false;
    QDateTime Start;
    QDateTime End;
    std::string Script;
    bool Manual = false;
    TLinkSettings Link;
    std::optional<std::uint32_t> Type;
    std::optional<std::int32_t> Id;
    std::optional<std::uint16_t> Checksum;
    std::vector<TLine> Lines;
    std::vector<TVersion> Read;
    std::vector<TVersion> Written;
    std::vector<TSkipped> Skipped;
    struct TProgrammed {
        std::string Part;
        // By a line of a component's script, not by the run's own closing lines.
        bool ByComponent = false;
    };
    std::vector<TProgrammed> ProgrammedParts;
    std::vector<TTimedLine> Status;
    TUpdateSession::TRunResult Result = TUpdateSession::TRunResult::Completed;
    std::string Message;
    std::string FailedScript;
};
