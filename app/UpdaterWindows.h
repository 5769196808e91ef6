// The four windows of the program, created in the order the program needs:
// the main window first, then the About box, the Component Selection dialog and
// the LAN setup dialog. The main window's creation uses none of the dialogs; it
// is given the About box and the LAN dialog once they exist.
#pragma once

#include "About.h"
#include "CompDlg.h"
#include "ipconfig.h"
#include "main.h"

#include <string>

struct TUpdaterWindows {
    TUpdaterWindows(const std::string& appDir, const std::string& scriptArgument);

    TMainFich MainFich;
    TAboutBox AboutBox;
    // Created like the others but never shown: the main window has its own.
    TCompSelDlg CompSelDlg;
    TIPConfigDlg IPConfigDlg;
};
