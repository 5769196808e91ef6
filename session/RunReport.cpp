#include "RunReport.h"

#include "DecodedText.h"
#include "constante.h"
#include "hex.h"
#include "textutil.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

namespace {

constexpr char FileTimeFormat[] = "yyyyMMdd'T'HHmmss'Z'";
constexpr char JsonExtension[] = ".json";
constexpr char LogExtension[] = ".log";
constexpr int FormatVersion = 1;

// Text bytes as a JSON string.
QJsonValue Text(std::string_view bytes) { return DecodedText(bytes); }

QJsonValue TextOrNull(const std::string& bytes) { return bytes.empty() ? QJsonValue() : Text(bytes); }

QString IsoTime(const QDateTime& time) { return time.toUTC().toString(Qt::ISODateWithMs); }

std::string LogTime(const QDateTime& time) { return IsoTime(time).toStdString(); }

const char* ResultText(TUpdateSession::TRunResult result)
{
    switch (result) {
    case TUpdateSession::TRunResult::Completed: return constante::ReportCompleted;
    case TUpdateSession::TRunResult::Failed: return constante::ReportFailed;
    case TUpdateSession::TRunResult::Stopped: return constante::ReportStopped;
    }
    return constante::ReportFailed;
}

const char* ReasonText(TSkipReason reason)
{
    switch (reason) {
    case TSkipReason::UpToDate: return constante::ReportUpToDate;
    case TSkipReason::Unchecked: return constante::ReportUnchecked;
    case TSkipReason::CardAbsent: return constante::ReportCardAbsent;
    }
    return constante::ReportUnchecked;
}

// The reason as the operator reads it; the JSON keeps its own words.
const char* AccountReasonText(TSkipReason reason)
{
    switch (reason) {
    case TSkipReason::UpToDate: return constante::AccountUpToDate;
    case TSkipReason::Unchecked: return constante::AccountNotSelected;
    case TSkipReason::CardAbsent: return constante::AccountCardAbsent;
    }
    return constante::AccountNotSelected;
}

const char* ConnectionText(tConnectionType type)
{
    switch (type) {
    case CON_TCP: return constante::ConTypeTcp;
    case CON_UDP: return constante::ConTypeUdp;
    case CON_RS232: return constante::ConTypeRs232;
    default: return constante::ConTypeNone;
    }
}

}  // namespace

TRunReport::TRunReport(TUpdateSession& session, std::string folder) : Session(session), Folder(std::move(folder))
{
    Session.SetRunObserver(this);
}

TRunReport::~TRunReport() { Session.SetRunObserver(nullptr); }

std::string TRunReport::FileNamePort(const std::string& port)
{
    std::string name;
    for (const char c : port) {
        const bool kept = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.';
        if (kept)
            name += c;
        else if (!name.empty() && name.back() != '-')
            name += '-';
    }
    while (!name.empty() && name.back() == '-')
        name.pop_back();
    return name.empty() ? std::string(constante::ReportDeviceUnknown) : name;
}

// ---- What the session tells ---------------------------------------------------------------

void TRunReport::RunStarted()
{
    InRun = true;
    Start = Now();
    End = Start;
    Script = Session.GetScriptPath();
    Manual = Session.IsManual();
    Link = Session.GetLink();
    Type.reset();
    Id.reset();
    Checksum.reset();
    Lines.clear();
    Read.clear();
    Written.clear();
    Skipped.clear();
    ProgrammedParts.clear();
    Status.clear();
    Message.clear();
    FailedScript.clear();
}

void TRunReport::StatusLine(const std::string& line)
{
    if (InRun)
        Status.push_back({Now(), line});
}

void TRunReport::DeviceType(std::uint32_t type) { Type = type; }

void TRunReport::BootChecksum(std::uint16_t checksum) { Checksum = checksum; }

void TRunReport::DeviceId(std::int32_t id) { Id = id; }

void TRunReport::LineStarted(const std::string& script, std::int32_t lineNumber, const std::string& line)
{
    if (!InRun)
        return;
    if (TLine* open = OpenLine())
        SettleLine(*open, constante::ReportLineOk, {});
    TLine started;
    started.Script = script;
    started.Number = lineNumber;
    started.Text = line;
    started.Start = Now();
    Lines.push_back(std::move(started));
}

void TRunReport::SentToCard(const std::string&)
{
    if (TLine* open = OpenLine())
        ++open->Sent;
}

void TRunReport::RetransmissionAsked()
{
    if (TLine* open = OpenLine())
        ++open->Retransmissions;
}

void TRunReport::LineEngineIdle()
{
    TLine* open = OpenLine();
    if (!open)
        return;
    open->EngineIdle = true;
    open->End = Now();
}

void TRunReport::LineFailed(const std::string& message)
{
    if (TLine* open = OpenLine())
        SettleLine(*open, constante::ReportFailed, message);
}

TRunReport::TVersion TRunReport::VersionOfLine(const TCardText& text) const
{
    TVersion version;
    if (!Lines.empty()) {
        version.Script = Lines.back().Script;
        version.Line = Lines.back().Number;
    }
    version.Command = text.Command;
    version.Component = text.Component;
    version.Expected = text.Expected;
    version.Version = text.Text;
    return version;
}

void TRunReport::VersionRead(const TCardText& text)
{
    if (InRun)
        Read.push_back(VersionOfLine(text));
}

void TRunReport::TextWritten(const TCardText& text)
{
    if (InRun)
        Written.push_back(VersionOfLine(text));
}

// Manual mode tells its choice once per probe of the card: each skip is kept once.
void TRunReport::ComponentSkipped(const std::string& component, TSkipReason reason)
{
    if (!InRun)
        return;
    for (const TSkipped& skipped : Skipped)
        if (skipped.Component == component && skipped.Reason == reason)
            return;
    Skipped.push_back({component, reason});
}

void TRunReport::Programmed(const std::string& part)
{
    if (!InRun)
        return;
    const TLine* open = OpenLine();
    ProgrammedParts.push_back({part, open != nullptr && !open->Script.empty() && open->Script != Script});
}

std::vector<std::string> TRunReport::Account() const
{
    const auto joined = [](const std::vector<std::string>& items) {
        std::string text;
        for (const std::string& item : items)
            text += (text.empty() ? "" : constante::AccountListSeparator) + item;
        return text.empty() ? std::string(constante::AccountNone) : text;
    };
    std::vector<std::string> parts;
    bool componentProgrammed = false;
    for (const TProgrammed& programmed : ProgrammedParts) {
        parts.push_back(programmed.Part);
        componentProgrammed = componentProgrammed || programmed.ByComponent;
    }
    std::vector<std::string> skipped;
    for (const TSkipped& skip : Skipped)
        skipped.push_back((skip.Component.size() == 1 ? FormatText(constante::AccountComponentFormat, skip.Component)
                                                      : skip.Component) +
                          ' ' + AccountReasonText(skip.Reason));
    // Every component was skipped when no line of a component's script ran.
    const bool componentRan = std::any_of(Lines.begin(), Lines.end(), [this](const TLine& line) {
        return !line.Script.empty() && line.Script != Script;
    });
    const bool everySkipped = !Skipped.empty() && !componentRan && !componentProgrammed;
    const std::string why = (Manual ? constante::AccountModeManual : constante::AccountModeAuto) + joined(skipped);

    std::vector<std::string> account;
    if (everySkipped && parts.empty())
        account.push_back(FormatText(constante::AccountEverySkippedFormat, why));
    else if (everySkipped)
        account.push_back(FormatText(constante::AccountOnlyFormat, {joined(parts), why}));
    else if (parts.empty())
        account.push_back(constante::AccountNothingProgrammed);
    else
        account.push_back(constante::AccountProgrammed + joined(parts));
    if (!everySkipped && !Skipped.empty())
        account.push_back(constante::AccountSkipped + joined(skipped));
    std::vector<std::string> read;
    for (const TVersion& version : Read)
        read.push_back(version.Command + version.Component + ' ' + version.Version);
    std::vector<std::string> written;
    for (const TVersion& version : Written)
        written.push_back(version.Command + version.Component + ' ' + version.Version);
    account.push_back(constante::AccountVersionsRead + joined(read));
    account.push_back(constante::AccountVersionsWritten + joined(written));
    return account;
}

void TRunReport::RunEnded(TUpdateSession::TRunResult result, const std::string& message, const std::string& script)
{
    if (!InRun)
        return;
    InRun = false;
    End = Now();
    Result = result;
    Message = message;
    FailedScript = result == TUpdateSession::TRunResult::Failed ? script : std::string();
    // A line whose engine had finished before the run ended is done; an error
    // that came after it belongs to the run, not to the line.
    if (TLine* open = OpenLine()) {
        if (open->EngineIdle)
            SettleLine(*open, constante::ReportLineOk, {});
        else
            SettleLine(*open, ResultText(result), result == TUpdateSession::TRunResult::Failed ? message : std::string());
    }
    std::string failure;
    JsonPath.clear();
    LogPath.clear();
    if (!WriteFiles(failure))
        Session.ShowInfo(FormatText(constante::ReportNotWritten, failure));
}

// ---- Lines --------------------------------------------------------------------------------

TRunReport::TLine* TRunReport::OpenLine()
{
    if (Lines.empty() || Lines.back().Settled)
        return nullptr;
    return &Lines.back();
}

void TRunReport::SettleLine(TLine& line, const std::string& result, const std::string& message)
{
    line.Settled = true;
    line.Result = result;
    line.Message = message;
    if (!line.EngineIdle)
        line.End = Now();
}

// ---- The files ----------------------------------------------------------------------------

std::string TRunReport::DeviceIdText() const
{
    return Id ? WordToHex(static_cast<std::uint32_t>(*Id) & 0xFFFF) : std::string();
}

QJsonValue TRunReport::BundleJson() const
{
    if (!Bundle)
        return QJsonValue();
    QJsonObject bundle;
    bundle[QStringLiteral("file")] = Text(Bundle->FileName);
    bundle[QStringLiteral("sha256")] = Text(Bundle->Sha256);
    bundle[QStringLiteral("name")] = Text(Bundle->UpdateName);
    bundle[QStringLiteral("signed")] = !Bundle->SignerKeyId.empty();
    bundle[QStringLiteral("signer_key_id")] = TextOrNull(Bundle->SignerKeyId);
    bundle[QStringLiteral("signer_trusted")] = Bundle->SignerTrusted;
    return bundle;
}

QJsonObject TRunReport::ToJson() const
{
    QJsonObject device;
    device[QStringLiteral("type")] = Type ? QJsonValue(static_cast<qint64>(*Type)) : QJsonValue();
    device[QStringLiteral("id")] = Id ? QJsonValue(QString::fromStdString(DeviceIdText())) : QJsonValue();
    device[QStringLiteral("boot_checksum")] = Checksum ? Text(WordToHex(*Checksum)) : QJsonValue();

    const auto versions = [](const std::vector<TVersion>& list, bool read) {
        QJsonArray array;
        for (const TVersion& version : list) {
            QJsonObject entry;
            entry[QStringLiteral("script")] = TextOrNull(version.Script);
            entry[QStringLiteral("line")] = version.Line;
            entry[QStringLiteral("command")] = Text(version.Command);
            entry[QStringLiteral("component")] = TextOrNull(version.Component);
            if (read)
                entry[QStringLiteral("expected")] = Text(version.Expected);
            entry[QStringLiteral("version")] = Text(version.Version);
            array.append(entry);
        }
        return array;
    };

    QJsonArray lines;
    for (const TLine& line : Lines) {
        QJsonObject entry;
        entry[QStringLiteral("script")] = TextOrNull(line.Script);
        entry[QStringLiteral("line")] = line.Number;
        entry[QStringLiteral("text")] = Text(line.Text);
        entry[QStringLiteral("start")] = IsoTime(line.Start);
        entry[QStringLiteral("end")] = IsoTime(line.End);
        entry[QStringLiteral("sent")] = line.Sent;
        entry[QStringLiteral("retransmissions")] = line.Retransmissions;
        entry[QStringLiteral("result")] = Text(line.Result);
        entry[QStringLiteral("message")] = TextOrNull(line.Message);
        lines.append(entry);
    }
    QJsonArray skipped;
    for (const TSkipped& skip : Skipped)
        skipped.append(QJsonObject{{QStringLiteral("component"), Text(skip.Component)},
                                   {QStringLiteral("reason"), QString::fromLatin1(ReasonText(skip.Reason))}});

    QJsonObject report;
    report[QStringLiteral("format_version")] = FormatVersion;
    report[QStringLiteral("program_version")] = QString::fromLatin1(constante::ProgramVersion);
    report[QStringLiteral("start")] = IsoTime(Start);
    report[QStringLiteral("end")] = IsoTime(End);
    report[QStringLiteral("duration_seconds")] = static_cast<double>(Start.msecsTo(End)) / 1000.0;
    // What the plan of the update foresaw at START, next to what the run took.
    const TUpdatePlan& plan = Session.GetPlan();
    report[QStringLiteral("estimated_seconds")] =
        plan.Steps.empty() ? QJsonValue() : QJsonValue(std::round((plan.WireSeconds() + plan.PauseSeconds()) * 10.0) / 10.0);
    report[QStringLiteral("script")] = Text(Script);
    report[QStringLiteral("bundle")] = BundleJson();
    report[QStringLiteral("mode")] = QString::fromLatin1(Manual ? constante::ReportModeManual : constante::ReportModeAuto);
    report[QStringLiteral("port")] = Text(LinkName(Link));
    report[QStringLiteral("connection")] = QString::fromLatin1(ConnectionText(Link.ConType));
    report[QStringLiteral("device")] = device;
    report[QStringLiteral("versions_read")] = versions(Read, true);
    report[QStringLiteral("versions_written")] = versions(Written, false);
    report[QStringLiteral("lines")] = lines;
    report[QStringLiteral("skipped")] = skipped;
    report[QStringLiteral("noise_bytes_dropped")] = static_cast<double>(Session.GetNoiseDropped());
    QJsonArray parts;
    for (const TProgrammed& programmed : ProgrammedParts)
        parts.append(Text(programmed.Part));
    report[QStringLiteral("programmed")] = parts;
    report[QStringLiteral("result")] = QString::fromLatin1(ResultText(Result));
    report[QStringLiteral("message")] = Text(Message);
    report[QStringLiteral("failed_script")] = TextOrNull(FailedScript);
    return report;
}

std::string TRunReport::LogText() const
{
    std::string log;
    for (const TTimedLine& line : Status)
        log += LogTime(line.Time) + "  " + line.Text + '\n';
    int failedLines = 0;
    int retransmissions = 0;
    for (const TLine& line : Lines) {
        failedLines += line.Result == constante::ReportLineOk ? 0 : 1;
        retransmissions += line.Retransmissions;
    }
    log += std::string(constante::LogSummary) + '\n';
    log += constante::LogProgram + std::string(constante::ProgramVersion) + '\n';
    log += constante::LogStart + LogTime(Start) + '\n';
    log += constante::LogEnd + LogTime(End) + '\n';
    log += constante::LogScript + Script + '\n';
    log += constante::LogPort + LinkName(Link) + " " + ConnectionText(Link.ConType) + '\n';
    if (Bundle) {
        log += constante::LogBundle + Bundle->FileName + '\n';
        log += constante::LogBundleSha256 + Bundle->Sha256 + '\n';
        log += constante::LogUpdateName + Bundle->UpdateName + '\n';
        if (Bundle->SignerKeyId.empty())
            log += std::string(constante::LogUnsigned) + '\n';
        else
            log += constante::LogSigner + Bundle->SignerKeyId +
                   (Bundle->SignerTrusted ? std::string() : std::string(constante::LogSignerUntrusted)) + '\n';
    }
    log += FormatText(constante::LogDevice, Type ? std::to_string(*Type) : constante::ReportDeviceUnknown);
    log += constante::LogDeviceId + (Id ? DeviceIdText() : std::string(constante::ReportDeviceUnknown));
    log += constante::LogBootChecksum + (Checksum ? WordToHex(*Checksum) : std::string(constante::ReportDeviceUnknown)) + '\n';
    for (const TVersion& read : Read)
        log += constante::LogVersionRead + read.Command + read.Component + ' ' + read.Version + " (" + read.Expected + ")\n";
    for (const TVersion& written : Written)
        log += constante::LogVersionWritten + written.Command + written.Component + ' ' + written.Version + '\n';
    for (const TSkipped& skipped : Skipped)
        log += constante::LogSkipped + skipped.Component + " (" + ReasonText(skipped.Reason) + ")\n";
    for (const std::string& line : Account())
        log += line + '\n';
    log += constante::LogLines + std::to_string(Lines.size()) + ", " + constante::ReportFailed + ' ' + std::to_string(failedLines) +
           constante::LogRetransmissions + std::to_string(retransmissions) + constante::LogNoise +
           std::to_string(Session.GetNoiseDropped()) + '\n';
    log += constante::LogResult + std::string(ResultText(Result)) + " : " + Message + '\n';
    // Texts from the card and the update files may hold control characters.
    return ControlsEscaped(log);
}

// Both files are published under one base name that no run has taken, even a
// run of another process; a name that is taken moves this run on to the next suffix.
bool TRunReport::WriteFiles(std::string& failure)
{
    std::error_code error;
    std::filesystem::create_directories(Folder, error);
    if (error) {
        failure = Folder + constante::ReportReasonSeparator + error.message();
        return false;
    }
    const std::string base = Folder + '/' + Start.toUTC().toString(QString::fromLatin1(FileTimeFormat)).toStdString() + '_' +
                             FileNamePort(LinkName(Link)) + '_' + (Id ? DeviceIdText() : constante::ReportDeviceUnknown);
    const std::vector<TNewFilePublisher::TFile> files{
        {JsonExtension, QJsonDocument(ToJson()).toJson(QJsonDocument::Indented).toStdString()},
        {LogExtension, LogText()}};
    std::vector<std::string> paths;
    if (!Publisher.Publish(base, files, paths, failure))
        return false;
    JsonPath = paths[0];
    LogPath = paths[1];
    return true;
}
