// TUpdatePlanner: walks an update as a run walks it, without a card.
//
// The main script, each component script its "CM" and "C0" lines reach and
// every file a line names are found as a run finds them. Each line is offered
// to the four engines in the run's order, so a line is an operation exactly
// when a run would take it, and the engine that takes it is stepped once more:
// whatever it reports then, before it would wait for the card, is what the run
// would stop with. The files of each operation are then read through for the
// problems the engines find only part-way, and the bytes each way are counted
// from what the engines send and the card answers.
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
    TUpdatePlanner(const std::string& appDir, const std::string& scriptPath, TUpdatePlan& plan);

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

    using OperationPlan = void (TUpdatePlanner::*)(const Origin&, const std::string&);

    void Operation(const Origin& origin, const std::string& line);
    // False when the engine leaves the line to the others. When it takes the
    // line, either its first step reports the error the run would stop with, or
    // plan counts the operation and reads its files.
    template <class Engine>
    bool Offer(Engine& engine, const Origin& origin, const std::string& line, OperationPlan plan);

    void BootOperation(const Origin& origin, const std::string& line);
    void CheckOperation(const Origin& origin, const std::string& line);
    void BankOperation(const Origin& origin, const std::string& line);
    void JtagOperation(const Origin& origin, const std::string& line);
    void Upload(const Origin& origin, TPlanStep& step, const std::string& path, std::uint16_t first,
                std::uint16_t last, const std::string& checksumText, const char* emptyMessage);
    void CheckTextLength(const Origin& origin, const std::string& text, const char* message);

    TPlanStep& NewStep(const Origin& origin, const std::string& operation);
    // One command (or text) and the card's answer of that many bytes.
    static void Exchange(TPlanStep& step, std::size_t sent, std::size_t answer);
    void Problem(const Origin& origin, std::string message);

    std::string AppDir;
    std::string ScriptName;  // the file name of the main script, shared by its component scripts
    TUpdatePlan& Plan;

    TProgBoot Boot;
    TInstCrt Check;
    TProgPsd Psd;
    TProgJtag Jtag;
};
