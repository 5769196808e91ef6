// The bad-input catalogue's bench: a program folder holding a small, complete
// update (the extended boot, one PSD bank and an effect file for PROM 1), a
// simulated card on TCP, and corvane-updater --batch run on the folder as an
// operator would run it. Each case spoils one file and looks at how the run ends.
#pragma once

#include "ChildProcess.h"
#include "RunProcess.h"
#include "TempDir.h"

#include <chrono>
#include <string>
#include <vector>

class UpdateFolder {
public:
    // Writes the update and starts the card.
    UpdateFolder();

    bool CardStarted() const { return !CardPort.empty(); }
    // Writes a file below the program folder, as the operator's own; its path.
    std::string Write(const std::string& name, const std::string& content) const;
    std::string Read(const std::string& name) const;
    // Puts a folder where the file is.
    void MakeFolder(const std::string& name) const;
    // Leaves the file where it is, writable but no longer readable by the operator.
    void MakeUnreadable(const std::string& name) const;

    // The catalogue meets each fault in the run itself, so the updater runs with
    // --no-check unless this is set; the check at START has cases of its own.
    bool CheckAtStart = false;

    // corvane-updater --batch on the folder, bounded by --timeout and a deadline.
    // When the tests run as root it runs as an unprivileged operator, whom file
    // permissions stop.
    ProcessResult Update(std::chrono::seconds deadline = std::chrono::seconds(60)) const;
    // The updater started beside the test, for a case that signals it during the run.
    bool StartUpdate(ChildProcess& updater) const;
    // corvane-tool check on what the card holds, once it is stopped.
    ProcessResult Check();
    // The bytes the card received from the PC, once it is stopped.
    long long BytesTheCardReceived();
    // corvane-tool plan on the folder, as the operator runs it before START.
    ProcessResult Plan() const;

    // The settings that lead the updater to the card.
    std::string SettingsText() const;
    const std::string& App() const { return AppDir; }

private:
    std::vector<std::string> UpdaterArguments() const;
    // A copy of the program beside the update; the program itself when it cannot be copied.
    std::string CopiedBeside(const std::string& program, const std::string& name) const;

    TempDir Dir;
    std::string Updater = CORVANE_UPDATER;
    std::string Tool = CORVANE_TOOL;
    std::string AppDir;
    std::string StatePath;
    ChildProcess Card;
    std::string CardPort;
};

// Intel HEX data records of 16 bytes from base on (their bytes follow seed), then
// the end-of-file record; one text with CR LF line ends.
std::string HexImage(std::uint16_t base, int records, unsigned seed);
