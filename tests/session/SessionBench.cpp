#include "SessionBench.h"

#include <algorithm>

void SessionBench::Open(const std::string& scriptArgument, bool keepPlayPause)
{
    std::string appDir = Dir.Path();
    appDir.pop_back();
    Sess = std::make_unique<TUpdateSession>(appDir, scriptArgument);
    TUpdateSession& session = *Sess;
    session.OnStatusLine = [this](const std::string& line) { StatusLines.push_back(line); };
    session.OnBox = [this](TBoxKind, const std::string& text) { Boxes.push_back(text); };
    session.OnRunEnd = [this](TUpdateSession::TRunResult result, const std::string& message, const std::string&) {
        RunEnds.push_back(result);
        EndMessages.push_back(message);
    };
    if (!keepPlayPause)
        session.GetProgJtag().PlayOpenPause = std::chrono::milliseconds(0);
}

void SessionBench::Begin(bool readId)
{
    RunStart = StatusLines.size();
    RunEnds.clear();
    EndMessages.clear();
    Sess->SetLink(Link);
    Sess->SetCheckUpdate(CheckUpdate);
    if (readId)
        Sess->ReadId();
    else
        Sess->Start();
    Sess->Timer1Timer();
}

bool SessionBench::Run(bool readId, int timeoutMs)
{
    Begin(readId);
    return WaitUntil([this] { return !RunEnds.empty(); }, timeoutMs);
}

std::vector<std::string> SessionBench::RunLines() const
{
    return std::vector<std::string>(StatusLines.begin() + static_cast<std::ptrdiff_t>(RunStart), StatusLines.end());
}

bool SessionBench::HasLine(const std::string& line) const
{
    const std::vector<std::string> lines = RunLines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

RunBench::RunBench(Transport transport, CardOptions options) : Card(transport, options) {}

void RunBench::Open(const std::string& scriptArgument)
{
    Bench.Link = Card.SessionLink();
    Bench.Open(scriptArgument);
}
