// The command line of corvane-updater, for the window and batch mode alike.
//
//   corvane-updater [options] [SCRIPT]
//
// Arguments that begin with "--" are options and never the script.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct TManualSelection {
    bool Motherboard = false;
    bool Mcu = false;
    bool Prom1 = false;
};

struct TUpdaterCommandLine {
    // An unattended run never hangs on a silent card unless asked to.
    static constexpr int DefaultTimeoutSeconds = 60;

    std::string Script;  // empty: script.ini in the program's folder
    std::string AppDir;  // empty: the folder of the executable; a file: an update bundle
    bool Batch = false;
    bool ReadId = false;
    std::optional<TManualSelection> Manual;
    int TimeoutSeconds = DefaultTimeoutSeconds;  // 0: wait as long as the run waits
    bool NoCheck = false;  // --no-check: the update is not checked at START
    // --port, in order; empty: the link of Updater.prm. Without --batch they
    // open the window of several cards.
    std::vector<std::string> Ports;
    std::string ReportDir;   // empty: "reports" in the program's folder
    // --trusted-key, in order: public keys trusted besides those of the key folders.
    std::vector<std::string> TrustedKeys;
    bool Help = false;
    bool Version = false;
    // Print the serial devices present and the COM port each one is, then stop.
    bool ListPorts = false;
    // The window of several cards starts every card as soon as it opens.
    bool Start = false;
    // Batch mode writes one JSON object per line on stdout, and nothing else.
    bool Json = false;
    // Search the LAN for cards in this range of addresses, then stop.
    std::string Find;
    std::string FindPort;  // empty: the standard card port
};

// The arguments after the program name. False, with the reason, on a wrong
// option, a missing or bad value, a batch option without --batch (or a window
// option with it), or two scripts.
bool ParseUpdaterCommandLine(const std::vector<std::string>& arguments, TUpdaterCommandLine& line, std::string& error);
