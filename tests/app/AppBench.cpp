#include "AppBench.h"

#include <QDialog>
#include <QPlainTextEdit>

void AppBench::Open(const std::string& scriptArgument, const std::string& appDir)
{
    std::string folder = Dir.Path() + appDir;
    if (folder.back() == '/')
        folder.pop_back();
    OpenAt(folder, scriptArgument);
}

void AppBench::OpenAt(const std::string& folder, const std::string& scriptArgument)
{
    Windows = std::make_unique<TUpdaterWindows>(folder, scriptArgument);
    TMainFich& window = Window();
    // The machine of the window tests has no serial device, whatever this one has.
    window.SerialDevices.Source = [] { return std::vector<TSerialDeviceInfo>{}; };
    window.ShowBox = [this](TBoxKind kind, const QString& text) {
        Boxes.push_back(text.toStdString());
        BoxKinds.push_back(kind);
        return kind != TBoxKind::Question || AnswerQuestions;
    };
    window.ShowDialog = [this](QDialog& dialog) {
        DialogsShown.push_back(&dialog);
        if (DialogAction)
            DialogAction(dialog);
        return static_cast<int>(QDialog::Rejected);
    };
    window.GetSession().GetProgJtag().PlayOpenPause = std::chrono::milliseconds(0);
    window.FormActivate();
}

bool AppBench::Run(bool readId, int timeoutMs)
{
    if (readId)
        Window().ReadIdClick();
    else
        Window().StartClick();
    Window().Timer1Timer();
    return WaitUntil([this] { return Window().GetSession().IsIdle(); }, timeoutMs);
}

std::vector<std::string> AppBench::StatusLines() const
{
    std::vector<std::string> lines;
    for (const QString& line : Windows->MainFich.MemoStatus->toPlainText().split('\n', Qt::SkipEmptyParts))
        lines.push_back(line.toStdString());
    return lines;
}
