#include "UpdateFolder.h"

#include "CardStateFile.h"
#include "hex.h"

#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace {

constexpr char UpdaterSilenceSeconds[] = "5";

// The effect file reads the JTAG device's identifier and compares it.
constexpr char EffectFile[] =
    "// PROM 1: identify the device\n"
    "STATE RESET;\n"
    "SIR 8 TDI (01) TDO (01) MASK (03);\n"
    "SDR 32 TDI (00000000) TDO (0C0DE0A5) MASK (0FFFFFFF);\n";

// The user the updater runs as: the tests' own, or "nobody" when the tests run
// as root, whom file permissions do not stop.
int OperatorUser()
{
    if (::geteuid() != 0)
        return -1;
    const passwd* nobody = ::getpwnam("nobody");
    return nobody != nullptr ? static_cast<int>(nobody->pw_uid) : -1;
}

void GiveToOperator(const std::string& path)
{
    const int user = OperatorUser();
    if (user >= 0)
        (void)!::chown(path.c_str(), static_cast<uid_t>(user), static_cast<gid_t>(-1));
}

}  // namespace

std::string HexImage(std::uint16_t base, int records, unsigned seed)
{
    std::string text;
    for (int record = 0; record < records; ++record) {
        std::string data;
        for (int byte = 0; byte < 16; ++byte)
            data += ByteToHex(seed * 37 + static_cast<unsigned>(record * 16 + byte * 7));
        text += BuildHexRecord(HexRecordData, static_cast<std::uint16_t>(base + record * 16), data) + "\r\n";
    }
    return text + ":00000001FF\r\n";
}

UpdateFolder::UpdateFolder() : AppDir(Dir.Path() + "app/"), StatePath(Dir.Path() + "card.json")
{
    Write("script.ini", "prompt catalogue\r\nCM\r\n");
    Write("MB/script.ini", "P1 bank1.hex\r\nP8 prom1.svf\r\nV1 0150\r\n");
    Write("MB/bank1.hex", HexImage(0x8000, 8, 1));
    Write("MB/prom1.svf", EffectFile);
    Write("BOOT_EXT_OPTION.HEX", HexImage(0x4000, 4, 2));
    // The operator reaches the folder and writes the settings in it when the program closes.
    ::chmod(Dir.Path().c_str(), 0755);
    ::chmod(AppDir.c_str(), 0777);
    // The operator may not reach the build folder (a clone in a private
    // temporary folder): the programs are copied beside the update.
    if (OperatorUser() >= 0) {
        Updater = CopiedBeside(CORVANE_UPDATER, "corvane-updater");
        Tool = CopiedBeside(CORVANE_TOOL, "corvane-tool");
    }
    if (Card.Start({CORVANE_CARDSIM, "--tcp", "0", "--state", StatePath}))
        CardPort = Card.ReadLine();
    Write("Updater.prm", SettingsText());
}

std::string UpdateFolder::CopiedBeside(const std::string& program, const std::string& name) const
{
    std::error_code failed;
    std::filesystem::copy_file(program, Dir.Path() + name, failed);
    return failed ? program : Dir.Path() + name;
}

std::string UpdateFolder::SettingsText() const
{
    return "CON_TYPE=TCP\nREMOTE_IP=127.0.0.1\nREMOTE_PORT=" + CardPort + "\n";
}

std::string UpdateFolder::Write(const std::string& name, const std::string& content) const
{
    const std::string path = Dir.Write("app/" + name, content);
    GiveToOperator(path);
    return path;
}

std::string UpdateFolder::Read(const std::string& name) const
{
    return ReadFile(AppDir + name);
}

void UpdateFolder::MakeFolder(const std::string& name) const
{
    std::filesystem::remove(AppDir + name);
    std::filesystem::create_directories(AppDir + name);
    GiveToOperator(AppDir + name);
}

void UpdateFolder::MakeUnreadable(const std::string& name) const { ::chmod((AppDir + name).c_str(), S_IWUSR); }

std::vector<std::string> UpdateFolder::UpdaterArguments() const
{
    std::vector<std::string> arguments = {Updater, "--batch", "--app-dir", AppDir, "--timeout", UpdaterSilenceSeconds};
    if (!CheckAtStart)
        arguments.push_back("--no-check");
    return arguments;
}

ProcessResult UpdateFolder::Update(std::chrono::seconds deadline) const
{
    return RunProcess(UpdaterArguments(), deadline, {}, OperatorUser());
}

bool UpdateFolder::StartUpdate(ChildProcess& updater) const { return updater.Start(UpdaterArguments()); }

ProcessResult UpdateFolder::Plan() const
{
    return RunProcess({Tool, "plan", AppDir}, std::chrono::seconds(30), {}, OperatorUser());
}

long long UpdateFolder::BytesTheCardReceived()
{
    Card.Stop(SIGTERM);
    return BytesFromPcInState(StatePath);
}

ProcessResult UpdateFolder::Check()
{
    Card.Stop(SIGTERM);
    return RunProcess({CORVANE_TOOL, "check", StatePath, AppDir});
}
