// corvane-tool plan APPDIR [SCRIPT]: checks an update before it touches a card.
// Every problem that would stop a run part-way, then each operation that talks
// to the card with its bytes and wire time, and the total.
#include "commands.h"

#include "UpdatePlan.h"
#include "constante.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <ostream>

namespace {

constexpr char Usage[] = "usage: corvane-tool plan [--read-id] [--json] APPDIR [SCRIPT]\n";
constexpr int WhereWidth = 30;
constexpr int OperationWidth = 24;
constexpr int SendsWidth = 44;
constexpr int BytesWidth = 10;

std::string Fixed(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string Column(std::string text, std::size_t width)
{
    if (text.size() < width)
        text.append(width - text.size(), ' ');
    return text + ' ';
}

std::string RightColumn(const std::string& text, std::size_t width)
{
    return (text.size() < width ? std::string(width - text.size(), ' ') : std::string()) + text + ' ';
}

std::string Count(std::uint64_t count, const char* unit)
{
    return std::to_string(count) + ' ' + unit + (count == 1 ? "" : "s");
}

// What the step sends, in words: "1 command, 900 lines, 1 checksum record".
std::string Sends(const TPlanStep& step)
{
    std::string text;
    const auto add = [&text](std::uint64_t count, const char* unit) {
        if (count != 0)
            text += (text.empty() ? "" : ", ") + Count(count, unit);
    };
    add(step.Commands, "command");
    add(step.HexLines, "line");
    add(step.ChecksumRecords, "checksum record");
    add(step.Records, "record");
    add(step.Streams, "stream");
    if (step.PauseMs != 0)
        text += (text.empty() ? "pause " : ", pause ") + std::to_string(step.PauseMs) + " ms";
    return text;
}

std::string Where(const std::string& file, std::int32_t line)
{
    return line > 0 ? file + ':' + std::to_string(line) : file;
}

void PrintText(const TUpdatePlan& plan, std::ostream& out)
{
    out << Column("WHERE", WhereWidth) << Column("OPERATION", OperationWidth) << Column("SENDS", SendsWidth)
        << RightColumn("TO CARD", BytesWidth) << RightColumn("FROM CARD", BytesWidth) << "WIRE\n";
    for (const TPlanStep& step : plan.Steps) {
        out << Column(Where(step.File, step.Line), WhereWidth) << Column(step.Operation, OperationWidth)
            << Column(Sends(step), SendsWidth) << RightColumn(std::to_string(step.BytesToCard), BytesWidth)
            << RightColumn(std::to_string(step.BytesFromCard), BytesWidth) << Fixed(step.WireSeconds(), 3) << " s";
        if (step.Baud != constante::RawPhaseBaud)
            out << " at " << step.Baud << " baud";
        out << '\n';
    }
    out << Column("total", WhereWidth + OperationWidth + SendsWidth + 2)
        << RightColumn(std::to_string(plan.BytesToCard()), BytesWidth)
        << RightColumn(std::to_string(plan.BytesFromCard()), BytesWidth) << Fixed(plan.WireSeconds(), 3)
        << " s on the wire (probe at " << constante::VarPhaseBaud << " baud, the rest at " << constante::RawPhaseBaud
        << "), pauses " << Fixed(plan.PauseSeconds(), 3) << " s\n";
    for (const TPlanProblem& problem : plan.Problems)
        out << ProblemText(problem) << '\n';
    out << (plan.IsClean() ? std::string("no problem") : Count(plan.Problems.size(), "problem")) << '\n';
}

QString Text(const std::string& text) { return QString::fromStdString(text); }

void PrintJson(const TUpdatePlan& plan, std::ostream& out)
{
    QJsonArray problems;
    for (const TPlanProblem& problem : plan.Problems)
        problems.append(QJsonObject{{"file", Text(problem.File)},
                                    {"line", problem.Line},
                                    {"message", Text(problem.Message)},
                                    {"text", Text(ProblemText(problem))}});
    QJsonArray steps;
    for (const TPlanStep& step : plan.Steps)
        steps.append(QJsonObject{{"file", Text(step.File)},
                                 {"line", step.Line},
                                 {"operation", Text(step.Operation)},
                                 {"commands", static_cast<qint64>(step.Commands)},
                                 {"hex_lines", static_cast<qint64>(step.HexLines)},
                                 {"checksum_records", static_cast<qint64>(step.ChecksumRecords)},
                                 {"records", static_cast<qint64>(step.Records)},
                                 {"streams", static_cast<qint64>(step.Streams)},
                                 {"bytes_to_card", static_cast<qint64>(step.BytesToCard)},
                                 {"bytes_from_card", static_cast<qint64>(step.BytesFromCard)},
                                 {"baud", static_cast<qint64>(step.Baud)},
                                 {"wire_seconds", step.WireSeconds()},
                                 {"pause_ms", static_cast<qint64>(step.PauseMs)}});
    const QJsonObject total{{"bytes_to_card", static_cast<qint64>(plan.BytesToCard())},
                            {"bytes_from_card", static_cast<qint64>(plan.BytesFromCard())},
                            {"wire_seconds", plan.WireSeconds()},
                            {"pause_seconds", plan.PauseSeconds()}};
    const QJsonObject document{
        {"script", Text(plan.ScriptPath)}, {"problems", problems}, {"steps", steps}, {"total", total}};
    out << QJsonDocument(document).toJson(QJsonDocument::Indented).toStdString();
}

}  // namespace

int RunPlan(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    bool readId = false;
    bool json = false;
    bool unknownOption = false;
    std::vector<std::string> paths;
    for (const std::string& arg : args) {
        if (arg == "--read-id")
            readId = true;
        else if (arg == "--json")
            json = true;
        else if (arg.empty() || arg[0] == '-')
            unknownOption = true;
        else
            paths.push_back(arg);
    }
    if (unknownOption || paths.empty() || paths.size() > 2 || (readId && paths.size() == 2)) {
        err << Usage;
        return ExitUsage;
    }
    const std::string& appDir = paths[0];
    // A script named on the command line is taken as the updater takes it.
    std::string script;
    if (readId)
        script = (appDir.back() == '/' ? appDir : appDir + '/') + constante::ReadIdScriptName;
    else if (paths.size() == 2)
        script = QFileInfo(Text(paths[1])).absoluteFilePath().toStdString();
    const TUpdatePlan plan = PlanUpdate(appDir, script);
    if (json)
        PrintJson(plan, out);
    else
        PrintText(plan, out);
    return plan.IsClean() ? ExitSuccess : ExitFailure;
}
