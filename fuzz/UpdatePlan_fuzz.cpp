// Update folders of any content planned before a run: the main script, the
// motherboard's script, a HEX image and an effect file.
//
// Input: the four texts, each ended by a NUL byte (the last one by the end of
// the input). They are the files script.ini, MB/script.ini, MB/F (also
// BOOT_EXT_OPTION.HEX) and MB/E of a folder held in memory, so that "P1 F",
// "PB F" and "P8 E" name them; nothing else is in the folder.
#include "FuzzSupport.h"

#include "UpdatePlan.h"

#include <map>
#include <string>

namespace {

constexpr char Folder[] = "/update/";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const std::map<std::string, std::string> files = {
        {"script.ini", input.Until('\0')},
        {"MB/script.ini", input.Until('\0')},
        {"MB/F", input.Until('\0')},
        {"MB/E", input.All()},
    };
    TMemoryFiles folder;
    std::map<std::string, std::size_t> lineCounts;
    for (const auto& [name, text] : files) {
        folder.Write(Folder + name, text);
        lineCounts[name] = SplitTextLines(text).size();
    }
    folder.Write(std::string(Folder) + "BOOT_EXT_OPTION.HEX", files.at("MB/F"));
    TPlanSettings settings;
    settings.Files = &folder;

    const TUpdatePlan plan = PlanUpdate(Folder, {}, settings);
    const std::string folderPath = Folder;
    for (const TPlanProblem& problem : plan.Problems) {
        Require(!problem.Message.empty(), "a problem says what is wrong");
        Require(problem.File.starts_with(folderPath), "a problem names a file of the folder");
        const std::string name = problem.File.substr(folderPath.size());
        const auto file = files.find(name == "BOOT_EXT_OPTION.HEX" ? "MB/F" : name);
        Require(file != files.end() || problem.Line == 0, "a problem at a line names a file the update holds");
        Require(file == files.end() || problem.Line >= 0, "line numbers count from 1");
        Require(file == files.end() || static_cast<std::size_t>(problem.Line) <= lineCounts.at(file->first) + 1,
                "a problem's line lies in its file (or just past it, where a read failed)");
    }
    for (const TPlanStep& step : plan.Steps) {
        Require(step.Baud == 9600 || step.Baud == 57600, "every exchange runs at a speed of a run");
        Require(step.HexLines == 0 || step.ChecksumRecords == 1, "an upload ends with its checksum record");
        Require(step.BytesFromCard >= step.Commands, "the card answers every command");
    }
    if (plan.IsClean()) {
        Require(plan.Steps.size() >= 3 && plan.Steps[1].Operation == "SYN" && plan.Steps.back().Operation == "FI",
                "a clean run synchronises first and ends with FI");
    }
    return 0;
}
