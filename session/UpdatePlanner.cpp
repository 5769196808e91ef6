#include "UpdatePlanner.h"

#include "CardProbe.h"
#include "constante.h"
#include "hex.h"
#include "textutil.h"

#include <filesystem>
#include <iterator>
#include <string_view>

using namespace constante;

TUpdatePlanner::TUpdatePlanner(const std::string& appDir, const std::string& scriptPath, const TPlanSettings& settings,
                               TUpdatePlan& plan)
    : AppDir(appDir.empty() || appDir.back() == '/' ? appDir : appDir + '/'), Files(*settings.Files), Plan(plan)
{
    Plan.ScriptPath = scriptPath.empty() ? AppDir + MainScriptName : scriptPath;
    ScriptName = std::filesystem::path(Plan.ScriptPath).filename().string();
    for (TGestionnaire* engine : std::initializer_list<TGestionnaire*>{&Boot, &Check, &Psd, &Jtag})
        engine->SetFileSource(Files);
    Jtag.PlayOpenPause = settings.PlayOpenPause;
}

void TUpdatePlanner::Walk()
{
    const Origin run{Plan.ScriptPath, 0, AppDir};
    std::vector<std::string> lines;
    if (!LoadTextLines(Files, Plan.ScriptPath, lines)) {
        Problem(run, Plan.ScriptPath + FileNotFound);
        return;
    }
    RunStart();
    MainScript(lines);
    RunEnd();
}

// ---- Scripts ----------------------------------------------------------------------------

void TUpdatePlanner::MainScript(const std::vector<std::string>& lines)
{
    for (std::size_t index = 0; index < lines.size(); ++index) {
        const Origin origin{Plan.ScriptPath, static_cast<std::int32_t>(index + 1), AppDir};
        const std::string line = Trim(lines[index]);
        if (StartsWith(line, PrefixMotherboard)) {
            Component(origin, MotherboardFolder);
        } else if (StartsWith(line, PrefixComponent)) {
            const std::string number = Trim(std::string_view(line).substr(1));
            const unsigned component = number.empty() ? std::size(ComponentFolders) : HexValue(number[0]);
            if (component >= std::size(ComponentFolders)) {
                Problem(origin, SyntaxProblem(origin.Line, line));
                continue;
            }
            // A run reads the character leniently and goes on with that component.
            if (std::string digit = DigitProblem(line); !digit.empty())
                Problem(origin, std::move(digit));
            Component(origin, ComponentFolders[component]);
        } else if (!line.empty() && !StartsWith(line, Remark)) {
            Operation(origin, line);
        }
    }
}

void TUpdatePlanner::Component(const Origin& origin, const std::string& folder)
{
    const std::string componentFolder = AppDir + folder;
    const std::string path = componentFolder + ScriptName;
    std::vector<std::string> lines;
    if (!LoadTextLines(Files, path, lines)) {
        Problem(origin, path + FileNotFound);
        return;
    }
    for (std::size_t index = 0; index < lines.size(); ++index) {
        const std::string line = Trim(lines[index]);
        if (!line.empty() && !StartsWith(line, Remark))
            Operation({path, static_cast<std::int32_t>(index + 1), componentFolder}, line);
    }
}

// The card probe at the firmware's speed, then the boot loader's synchronisation.
void TUpdatePlanner::RunStart()
{
    const Origin run{Plan.ScriptPath, 0, AppDir};
    AddStep(run, CardProbeText(), PlanCardProbe());
    Operation(run, LineSync);
}

// The lines a run adds after the main script.
void TUpdatePlanner::RunEnd()
{
    const Origin run{Plan.ScriptPath, 0, AppDir};
    if (ScriptName == MainScriptName) {
        Operation(run, LineBootOption);
        Operation(run, LineOptionPrefix + std::string(DefaultOptionCode));
    }
    Operation(run, LineClosing);
}

// ---- Operations -------------------------------------------------------------------------

void TUpdatePlanner::Operation(const Origin& origin, const std::string& line)
{
    // The run's order; the engines' keywords do not overlap.
    for (TGestionnaire* engine : std::initializer_list<TGestionnaire*>{&Boot, &Check, &Psd, &Jtag}) {
        engine->SetCurentDir(origin.Folder);
        TOperationPlan planned;
        if (!engine->PlanLine(line, planned))
            continue;
        for (TPlanProblem& problem : planned.Problems) {
            if (problem.File.empty()) {
                problem.File = origin.File;
                problem.Line = origin.Line;
            }
            Plan.Problems.push_back(std::move(problem));
        }
        planned.Problems.clear();
        // A line the engine refuses before anything goes, or that only shows a text, is no step.
        if (planned.Commands > 0 || planned.PauseMs > 0)
            AddStep(origin, line, std::move(planned));
        return;
    }
    Problem(origin, SyntaxProblem(origin.Line, line));
}

void TUpdatePlanner::AddStep(const Origin& origin, const std::string& operation, TOperationPlan&& planned)
{
    TPlanStep& step = Plan.Steps.emplace_back();
    static_cast<TOperationPlan&>(step) = std::move(planned);
    step.File = origin.File;
    step.Line = origin.Line;
    step.Operation = operation;
}

void TUpdatePlanner::Problem(const Origin& origin, std::string message)
{
    Plan.Problems.push_back({origin.File, origin.Line, std::move(message), false});
}
