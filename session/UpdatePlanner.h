// TUpdatePlanner: walks an update as a run walks it, without a card.
//
// The main script, each component script its "CM" and "C0" lines reach and
// the lines a run adds are found as a run finds them. Each operation line is
// offered to the four engines in the run's order, so a line is an operation
// exactly when a run would take it; the engine that takes it says what it
// will do: its exchanges with the card, its pauses, the files it reads and
// the problems that would stop it.
#pragma once

#include "InstCourante.h"
#include "UpdatePlan.h"
#include "progboot.h"
#include "progjtag.h"
#include "progpsd.h"

#include <cstdint>
#include <string>
#include <vector>

class TUpdatePlanner {
public:
    TUpdatePlanner(const std::string& appDir, const std::string& scriptPath, const TPlanSettings& settings,
                   TUpdatePlan& plan);

    void Walk();

private:
    // Where a line comes from and the folder of the files it names.
    struct Origin {
        const std::string& File;
        std::int32_t Line;
        const std::string& Folder;
    };

    void MainScript(const std::vector<std::string>& lines);
    void Component(const Origin& origin, const std::string& folder);
    void RunStart();
    void RunEnd();
    void Operation(const Origin& origin, const std::string& line);
    void AddStep(const Origin& origin, const std::string& operation, TOperationPlan&& planned);
    void Problem(const Origin& origin, std::string message);

    std::string AppDir;
    std::string ScriptName;  // the file name of the main script, shared by its component scripts
    const TFileSource& Files;
    TUpdatePlan& Plan;

    TProgBoot Boot;
    TInstCrt Check;
    TProgPsd Psd;
    TProgJtag Jtag;
};
