#include "ExpectedUpdate.h"

#include "TextLineReader.h"
#include "constante.h"
#include "hex.h"
#include "textutil.h"

namespace {

using namespace constante;

// Data files named on a line are looked up in the folder of its script.
class ScriptWalk {
public:
    explicit ScriptWalk(ExpectedUpdate& update) : Update(update) {}

    void Script(const std::string& folder, const std::vector<std::string>& lines, bool main);

private:
    void Line(const std::string& folder, const std::string& line);
    ExpectedImage Image(const std::string& relative) const;

    ExpectedUpdate& Update;
};

// The card keeps the first four characters of a version, user version or option text.
std::string VersionText(std::string_view text)
{
    return std::string(Trim(text).substr(0, VersionReplyLength));
}

void ScriptWalk::Script(const std::string& folder, const std::vector<std::string>& lines, bool main)
{
    for (const std::string& raw : lines) {
        const std::string line = Trim(raw);
        if (line.empty() || StartsWith(line, Remark))
            continue;
        std::string component;
        if (main && StartsWith(line, PrefixMotherboard)) {
            component = MotherboardFolder;
        } else if (main && StartsWith(line, PrefixComponent)) {
            const std::string number = Trim(line.substr(1));
            if (number.empty() || HexValue(number[0]) >= std::size(ComponentFolders))
                continue;  // the run stops there with a syntax error
            component = ComponentFolders[HexValue(number[0])];
        } else {
            Line(folder, line);
            continue;
        }
        std::vector<std::string> componentLines;
        if (LoadTextLines(Update.AppDir + component + MainScriptName, componentLines))
            Script(component, componentLines, false);
    }
}

void ScriptWalk::Line(const std::string& folder, const std::string& line)
{
    if (StartsWith(line, CmdProgram)) {
        const std::string rest = Trim(line.substr(1));
        if (StartsWith(rest, BootUploadLetter)) {
            const std::string file = TrimLeft(rest.substr(1));
            Update.Boot = Image(folder + file.substr(0, file.find(' ')));
        } else if (!rest.empty() && rest[0] >= '0' && rest[0] <= HighestBankDigit) {
            Update.Banks[rest[0] - '0'] = Image(folder + Trim(rest.substr(1)));
        } else if (!rest.empty() && rest[0] == JtagSelector) {
            Update.EffectFile = folder + Trim(rest.substr(1));
        }
    } else if (StartsWith(line, CmdVersionWrite)) {
        const std::string rest = Trim(line.substr(1));
        if (!rest.empty())
            Update.Versions[rest[0]] = VersionText(rest.substr(1));
    } else if (StartsWith(line, CmdUserVersion)) {
        Update.UserVersion = VersionText(line.substr(std::char_traits<char>::length(CmdUserVersion)));
    }
}

ExpectedImage ScriptWalk::Image(const std::string& relative) const
{
    ExpectedImage image;
    image.File = relative;
    std::vector<std::string> lines;
    image.Readable = LoadTextLines(Update.AppDir + relative, lines);
    image.Image = BuildHexImage(lines);
    return image;
}

}  // namespace

bool ReadExpectedUpdate(const std::string& appDir, ExpectedUpdate& update, std::string& error)
{
    update.AppDir = appDir.empty() || appDir.back() == '/' ? appDir : appDir + '/';
    std::vector<std::string> lines;
    if (!LoadTextLines(update.AppDir + MainScriptName, lines)) {
        error = "cannot read " + update.AppDir + MainScriptName;
        return false;
    }
    ScriptWalk walk(update);
    walk.Script("", lines, true);
    walk.Script("", {LineBootOption}, true);
    return true;
}
