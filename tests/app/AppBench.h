// Benches for the window tests: an application folder with the updater's
// windows over it, boxes and dialogs recorded instead of shown. Simulated cards
// and update bundles come from the session tests' support.
#pragma once

#include "CardBench.h"
#include "EventLoopWait.h"
#include "TempDir.h"
#include "UpdaterWindows.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class AppBench {
public:
    AppBench() = default;

    // Creates the windows over the folder (the program's folder is appDir below
    // the bench's folder when given); write the files that start-up looks at first.
    void Open(const std::string& scriptArgument = {}, const std::string& appDir = {});
    // The same over any folder, which the bench neither makes nor removes.
    void OpenAt(const std::string& folder, const std::string& scriptArgument = {});
    TMainFich& Window() { return Windows->MainFich; }
    TIPConfigDlg& LanDialog() { return Windows->IPConfigDlg; }
    // Presses START (or Read Id) with an immediate first tick and runs the event
    // loop until the session is idle again; false when it did not end in time.
    bool Run(bool readId = false, int timeoutMs = 20000);
    // The lines of the status list.
    std::vector<std::string> StatusLines() const;

    TempDir Dir;
    std::unique_ptr<TUpdaterWindows> Windows;
    std::vector<std::string> Boxes;
    std::vector<TBoxKind> BoxKinds;
    // What a question box is answered.
    bool AnswerQuestions = true;
    std::vector<QDialog*> DialogsShown;
    // What the shown dialog does before it closes; it closes with Rejected.
    std::function<void(QDialog&)> DialogAction;
};
