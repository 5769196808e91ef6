// Where the updater takes an update from: a folder, as it always did, or a
// bundle, checked and unpacked before anything else looks at it. The window
// and batch mode open both the same way.
#pragma once

#include "Bundle.h"
#include "RunReport.h"

#include <memory>
#include <string>
#include <vector>

// A path that is not a folder is a bundle when it is a file or ends in ".zip";
// anything else stays a (missing) folder, as before bundles.
bool IsUpdateBundle(const std::string& path);

// Checks and unpacks the bundle at path with the trusted keys of this machine
// and user and keyFiles. script: a main script named on the command line,
// which must be a file of the bundle; scriptPath is then its unpacked path.
// nullptr, with the refusal to show, when the bundle or the script is refused.
std::unique_ptr<TOpenedBundle> OpenUpdateBundle(const std::string& path, const std::string& script,
                                                const std::vector<std::string>& keyFiles, std::string& scriptPath,
                                                std::string& refusal);

// What a run report keeps of the bundle.
TReportBundle ReportBundle(const TBundleSummary& summary);
