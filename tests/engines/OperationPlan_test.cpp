// An engine's plan of a line against the line run through the engine: the
// plan takes exactly the lines Step takes, refuses what Step refuses before
// sending, and counts the bytes the engine exchanges with a card that agrees.
#include "InstCourante.h"
#include "TestHost.h"
#include "hex.h"
#include "progboot.h"
#include "progpsd.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

const std::string Folder = "/update/";
// Images of the extended boot and of a bank from 1 to 7: one data record each, an ending of each kind.
const std::string BootImage = BuildHexRecord(HexRecordData, 0x4000, "A5A5") + "\n:00000001FF\r\n";
const std::string BankImage = BuildHexRecord(HexRecordData, 0x8000, "0102") + "\r\nnot a record\r:00000001FF";

// The card of a run where all goes well, whatever the engine sends.
std::string AgreeingCard(const std::string& sent)
{
    if (sent == "%")
        return ".";
    if (sent == "57")
        return ".1234AAAA.";
    if (sent == "PB" || (sent.size() == 2 && sent[0] == 'P'))
        return "..";
    if (sent.size() == 2 && sent[0] == 'T')
        return ".0150.";
    if (sent.size() == 2 && sent[0] == 'D')
        return ".5A.";
    return ".";
}

// The bytes the engine sent and received while it ran the line; false when it did not take it.
template <class Engine>
bool Run(Engine& engine, const std::string& line, TOperationPlan& counted, std::string& error)
{
    TestHost host(engine);
    host.Card = AgreeingCard;
    engine.SetCommandLine(line);
    engine.Step();
    if (!engine.IsBusy())
        return false;
    StepWhileBusy(engine, 1000);
    for (const std::string& sent : host.Sent)
        counted.BytesToCard += sent.size();
    for (const std::string& entry : host.Transcript)
        if (entry.starts_with("< "))
            counted.BytesFromCard += entry.size() - 2;
    const Strings errors = host.EventsOf("error");
    error = errors.empty() ? std::string() : errors.front();
    return true;
}

// The update's files, BOOT.HEX and BANK.HEX in Folder.
TMemoryFiles UpdateFiles()
{
    TMemoryFiles files;
    files.Write(Folder + "BOOT.HEX", BootImage);
    files.Write(Folder + "BANK.HEX", BankImage);
    return files;
}

// Each line planned, then run with the engine reading files in folder.
template <class Engine>
void ExpectPlanOfEachLine(Engine& planner, Engine& runner, const Strings& lines, const TFileSource& files,
                          const std::string& folder = Folder)
{
    for (Engine* engine : {&planner, &runner}) {
        engine->SetFileSource(files);
        engine->SetCurentDir(folder);
    }
    for (const std::string& line : lines) {
        TOperationPlan plan;
        const bool planned = planner.PlanLine(line, plan);
        runner.Reset();
        runner.SetUpdateAllowed(true);
        TOperationPlan counted;
        std::string error;
        const bool taken = Run(runner, line, counted, error);
        ASSERT_EQ(planned, taken) << line;
        if (!taken)
            continue;
        if (!error.empty()) {
            // Refused before anything went, with the message of the plan.
            ASSERT_EQ(plan.Problems.size(), 1u) << line;
            EXPECT_EQ(plan.Problems[0].Message, error) << line;
            EXPECT_EQ(counted.BytesToCard, 0u) << line;
            continue;
        }
        EXPECT_TRUE(plan.Problems.empty()) << line << ": " << plan.Problems.front().Message;
        EXPECT_EQ(plan.BytesToCard, counted.BytesToCard) << line;
        EXPECT_EQ(plan.BytesFromCard, counted.BytesFromCard) << line;
    }
}

}  // namespace

TEST(EnginePlans, CardCheckLines)
{
    TInstCrt planner;
    TInstCrt runner;
    runner.TickCount = [] { return 0u; };
    ExpectPlanOfEachLine(planner, runner,
                         {"V1 0150", "V1  0150 ", "T1 0150", "TB 0150", "UV 0200", "OP 00A5", "RS", "NP", "FI", "FY",
                          "M3", "M 7", "prompt Insert", "V1 015", "V", "T9 01500", "UV 15", "OP 0", "MA", "M",
                          "wait ten", "SYN", "P1 BANK.HEX", "D8", "rs", ""},
                         UpdateFiles());
}

TEST(EnginePlans, BootLoaderLines)
{
    TProgBoot planner;
    TProgBoot runner;
    ExpectPlanOfEachLine(planner, runner,
                         {"SYN", "PB BOOT.HEX", "P  B BOOT.HEX", "PB BOOT.HEX DF4C", "PB MISSING.HEX 1234", "PB",
                          "P1 BANK.HEX", "V1 0150", "FI"},
                         UpdateFiles());
}

TEST(EnginePlans, BankLines)
{
    TProgPsd planner;
    TProgPsd runner;
    ExpectPlanOfEachLine(planner, runner,
                         {"P1 BANK.HEX", "P 7 BANK.HEX", "P2 MISSING.HEX", "D3", "F 5", "P8 E.SVF", "PB BOOT.HEX",
                          "D8", "F", "FI"},
                         UpdateFiles());
}

TEST(EnginePlans, UploadProblemsTheCardWouldMeet)
{
    TMemoryFiles files;
    files.Write(Folder + "EMPTY.HEX", "");
    files.Write(Folder + "LOW.HEX", BuildHexRecord(HexRecordData, 0x7FFF, "0102") + "\r\n");
    TProgPsd engine;
    engine.SetFileSource(files);
    engine.SetCurentDir(Folder);
    const auto problems = [&engine](const std::string& line) {
        TOperationPlan plan;
        EXPECT_TRUE(engine.PlanLine(line, plan));
        Strings texts;
        for (const TPlanProblem& problem : plan.Problems)
            texts.push_back(ProblemText(problem));
        return texts;
    };
    // An empty file is found only after the erase: the command goes all the same.
    EXPECT_EQ(problems("P1 EMPTY.HEX"), Strings{": Keyb File Empty !!!"});
    EXPECT_EQ(problems("P0 LOW.HEX"),
              Strings{Folder + "LOW.HEX:1: HEX data at 8000 is outside 0000-7FFF, the area this file programs"});
    TOperationPlan plan;
    engine.PlanLine("P1 EMPTY.HEX", plan);
    EXPECT_EQ(plan.BytesToCard, 2u);
    EXPECT_EQ(plan.Files, Strings{Folder + "EMPTY.HEX"});
}

// A bundle's lines name only its own files: from its folder "MB/", "../BANK.HEX"
// stays inside; a climb above the folder, or an absolute name, is refused by
// the plan and by the run alike, before the engine sends anything.
TEST(EnginePlans, NamesThatLeaveAConfinedFolder)
{
    const std::string below = Folder + "MB/";
    TMemoryFiles files;
    for (const char* name : {"../BOOT.HEX", "./../BOOT.HEX", "../../update/BOOT.HEX"})
        files.Write(below + name, BootImage);
    for (const char* name : {"../BANK.HEX", "../MB/../BANK.HEX", "/update/BANK.HEX"})
        files.Write(below + name, BankImage);
    const TConfinedFiles confined(files, "/update");
    TProgBoot bootPlanner;
    TProgBoot bootRunner;
    ExpectPlanOfEachLine(bootPlanner, bootRunner,
                         {"PB ../BOOT.HEX", "PB ./../BOOT.HEX", "PB ../../update/BOOT.HEX", "PB /update/BOOT.HEX"},
                         confined, below);
    TProgPsd bankPlanner;
    TProgPsd bankRunner;
    ExpectPlanOfEachLine(bankPlanner, bankRunner, {"P1 ../BANK.HEX", "P1 ../MB/../BANK.HEX", "P1 //update/BANK.HEX"},
                         confined, below);

    const auto problems = [&](TGestionnaire& engine, const std::string& line) {
        TOperationPlan plan;
        EXPECT_TRUE(engine.PlanLine(line, plan));
        Strings texts;
        for (const TPlanProblem& problem : plan.Problems)
            texts.push_back((problem.Outside ? "outside: " : "") + problem.Message);
        return texts;
    };
    const std::string notOurs = " is not a file of the update bundle: its lines may name only files inside it";
    EXPECT_EQ(problems(bootPlanner, "PB ../BOOT.HEX"), Strings{});
    EXPECT_EQ(problems(bootPlanner, "PB ../../update/BOOT.HEX 1234"), Strings{"outside: ../../update/BOOT.HEX" + notOurs});
    EXPECT_EQ(problems(bankPlanner, "P1 ../MB/../BANK.HEX"), Strings{});
    EXPECT_EQ(problems(bankPlanner, "P1 /update/BANK.HEX"), Strings{"outside: /update/BANK.HEX" + notOurs});

    // The same names from a plain folder are read as they always were.
    bootPlanner.SetFileSource(files);
    EXPECT_EQ(problems(bootPlanner, "PB ../../update/BOOT.HEX"), Strings{});
}
