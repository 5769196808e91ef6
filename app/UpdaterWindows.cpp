#include "UpdaterWindows.h"

TUpdaterWindows::TUpdaterWindows(const std::string& appDir, const std::string& scriptArgument)
    : MainFich(appDir, scriptArgument), AboutBox(&MainFich), CompSelDlg(), IPConfigDlg(&MainFich)
{
    MainFich.UseDialogs(AboutBox, IPConfigDlg);
}
