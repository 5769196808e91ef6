// corvane-updater --port A --port B [--start]: the window of several cards on
// its own, with the cards of the command line. The set of cards is then not
// kept in "Updater.prm": the command line gives it each time.
#pragma once

#include "CommandLine.h"
#include "RunReport.h"

#include <optional>
#include <string>

// Runs the window in the application's event loop; the exit code (2 when the
// --port values cannot run together, before the window opens; 128 + the signal
// after SIGINT or SIGTERM, read from signalFd, which it closes). bundle: the
// one appDir was unpacked from.
int RunCardsWindow(const std::string& appDir, const TUpdaterCommandLine& line, int signalFd,
                   const std::optional<TReportBundle>& bundle = std::nullopt);
