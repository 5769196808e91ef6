#include "UpdateName.h"

#include "InstCourante.h"
#include "TextLineReader.h"
#include "textutil.h"

#include <vector>

// Each line goes to an engine of its own, trimmed as a run trims it; the one
// that takes a line as a prompt shows its text at its next step.
std::string UpdateName(const std::string& scriptPath)
{
    std::vector<std::string> lines;
    if (!LoadTextLines(scriptPath, lines))
        return {};
    for (const std::string& line : lines) {
        TInstCrt check;
        check.SetCommandLine(Trim(line));
        check.Step();
        if (check.GetState() != TInstCrt::InstState::ShowPrompt)
            continue;
        check.Step();
        return check.GetInfoText();
    }
    return {};
}
