// The update sequencer of TMainFich: one step of the state machine per timer
// tick and per arrival of text from the card, and the buttons that start and
// stop a run.
#include "main.h"

#include "CompDlg.h"
#include "LineFilters.h"
#include "SerialDevice.h"
#include "constante.h"
#include "hex.h"
#include "ipconfig.h"
#include "textutil.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <exception>

namespace {

void ToMinimum(QProgressBar* bar) { bar->setValue(bar->minimum()); }
void ToMaximum(QProgressBar* bar) { bar->setValue(bar->maximum()); }
void StepBar(QProgressBar* bar) { bar->setValue(std::min(bar->value() + 1, bar->maximum())); }

std::string FileNamePart(const std::string& path) { return QFileInfo(QString::fromStdString(path)).fileName().toStdString(); }

}  // namespace

std::vector<TGestionnaire*> TMainFich::Engines() const
{
    return {ProgBoot.get(), InstCrt.get(), ProgPsd.get(), ProgJtag.get()};
}

// ---- Ticks, arrivals and buttons ------------------------------------------------------------

void TMainFich::Timer1Timer()
{
    Timer1->stop();
    const auto interval = static_cast<std::uint32_t>(Timer1->interval());
    Countdown = interval >= Countdown ? 0 : Countdown - interval;
    GuardedStep();
    if (!Closed)
        Timer1->start();
}

void TMainFich::DriverRecString(TComDriver&, std::int32_t)
{
    Timer1->stop();
    ReceivedText += Driver->ReadRaw();
    if (OnCardText)
        OnCardText();
    // A message box inside a step runs an event loop of its own; what arrives
    // meanwhile waits in ReceivedText for the next step.
    if (!InStep && SeqState != SeqLoadScript && SeqState != SeqStartSync && SeqState != SeqFailed &&
        SeqState != SeqCompleted)
        GuardedStep();
    if (!Closed && !InStep)
        Timer1->start();
}

void TMainFich::GuardedStep()
{
    const std::uint8_t stateBefore = SeqState;
    const std::int32_t scriptLineBefore = ScriptLineIndex;
    const std::int32_t componentLineBefore = ComponentLineIndex;
    StepMovedOn = false;
    StepSentToCard = false;
    InStep = true;
    try {
        SequencerStep();
    } catch (const std::exception& failure) {
        ShowError(failure.what());
    } catch (...) {
        ShowError(constante::UnexpectedFailure);
    }
    InStep = false;
    if (ScriptLineIndex != scriptLineBefore || ComponentLineIndex != componentLineBefore)
        StepMovedOn = true;
    StepAgainIfMovedOn(stateBefore);
}

// Each step that follows at once must take text or a script line, start or end
// an operation, or change the state, so steps that follow one another at once
// always come to an end.
void TMainFich::StepAgainIfMovedOn(std::uint8_t stateBefore)
{
    const bool movedOn = StepMovedOn || SeqState != stateBefore;
    const bool waitsForCard = StepSentToCard && ReceivedText.empty();
    if (!movedOn || waitsForCard || !StepsWithoutCard(SeqState) || StepAgainPosted || Closed)
        return;
    StepAgainPosted = true;
    QMetaObject::invokeMethod(this, [this] { StepAgain(); }, Qt::QueuedConnection);
}

void TMainFich::StepAgain()
{
    StepAgainPosted = false;
    if (InStep || Closed || !StepsWithoutCard(SeqState))
        return;
    Timer1->stop();
    GuardedStep();
    if (!Closed)
        Timer1->start();
}

// The probe keeps to the ticks, which its countdown counts; states that open or
// close the link, or show the error box, wait for the tick as well.
bool TMainFich::StepsWithoutCard(std::uint8_t state)
{
    switch (state) {
    case SeqAwaitSync:
    case SeqStartClosing:
    case SeqAwaitClosing:
    case SeqCompleted:
    case SeqNextMainLine:
    case SeqAwaitMainLine:
    case SeqNextComponentLine:
    case SeqAwaitComponentLine:
    case SeqStartBootOption:
    case SeqAwaitBootOption:
    case SeqAwaitOptionCode:
        return true;
    default:
        return false;
    }
}

void TMainFich::StartClick()
{
    if (SeqState == SeqIdle) {
        ScriptPath = ScriptArgument.empty()
                         ? AppFolder() + constante::MainScriptName
                         : QFileInfo(QString::fromStdString(ScriptArgument)).absoluteFilePath().toStdString();
        Quit->setEnabled(false);
        SeqState = SeqLoadScript;
    } else if (SeqState == SeqCompleted) {
        close();
    } else {
        Driver->SetConType(CON_NONE);
        SeqState = SeqIdle;
        Quit->setEnabled(true);
    }
}

void TMainFich::ReadIdClick()
{
    ScriptPath = AppFolder() + constante::ReadIdScriptName;
    SeqState = SeqLoadScript;
}

void TMainFich::QuitClick() { close(); }

bool TMainFich::WaitsOnCard() const
{
    switch (SeqState) {
    case SeqIdle:
    case SeqLoadScript:
    case SeqFailed:
    case SeqErrorBox:
    case SeqCompleted:
        return false;
    default:
        return !(EngineBusy && StartsWith(CurrentLine, constante::KeywordWait));
    }
}

// ---- The state machine ---------------------------------------------------------------------

void TMainFich::SequencerStep()
{
    switch (SeqState) {
    case SeqIdle: StepIdle(); break;
    case SeqLoadScript: StepLoadScript(); break;
    case SeqQueryCard: StepQueryCard(); break;
    case SeqAwaitCardType: StepAwaitCardType(); break;
    case SeqStartSync: StepStartSync(); break;
    case SeqAwaitSync: StepAwaitSync(); break;
    case SeqFailed: StepFailed(); break;
    case SeqErrorBox: StepErrorBox(); break;
    case SeqStartClosing: StepStartClosing(); break;
    case SeqAwaitClosing: StepAwaitClosing(); break;
    case SeqCompleted: StepCompleted(); break;
    case SeqNextMainLine: StepNextMainLine(); break;
    case SeqAwaitMainLine: StepAwaitMainLine(); break;
    case SeqNextComponentLine: StepNextComponentLine(); break;
    case SeqAwaitComponentLine: StepAwaitComponentLine(); break;
    case SeqStartBootOption: StepStartBootOption(); break;
    case SeqAwaitBootOption: StepAwaitBootOption(); break;
    case SeqAwaitOptionCode: StepAwaitOptionCode(); break;
    default: SeqState = SeqIdle; break;
    }
}

void TMainFich::StepIdle()
{
    Port1->menuAction()->setEnabled(true);
    Program1->menuAction()->setEnabled(true);
    Start->setText(QString::fromLatin1(constante::CaptionStart));
    Quit->setEnabled(true);
    if (ReadId->isVisibleTo(this))
        ReadId->setEnabled(true);
    ShowInfo(constante::IdlePrompt);
    for (TGestionnaire* engine : Engines())
        engine->Reset();
    CardDeviceID = 0;
    DeviceIdentified = false;
    OptionCode = constante::DefaultOptionCode;
    ComponentIndex = -1;
    SetCurentCardDir(AppFolder());
    Timer1->setInterval(IdleIntervalMs);
}

void TMainFich::StepLoadScript()
{
    Timer1->setInterval(RunIntervalMs);
    if (!LoadTextLines(ScriptPath, ScriptLines)) {
        ShowError(ScriptPath + constante::FileNotFound);
        return;
    }
    Driver->SetConMode(MODE_VAR);
    const bool lan = LAN1->isChecked() && IPConfigDlg;
    if (lan) {
        Driver->SetIpLocalPort(IPConfigDlg->LocalPort);
        Driver->SetIpRemotePort(IPConfigDlg->RemotePort);
        Driver->SetIpRemoteAddress(IPConfigDlg->RemoteAddress);
    } else {
        Driver->SetBaudRate(constante::VarPhaseBaud);
        Driver->SetPort(SerialDeviceFor(SelectedComPort(), Settings));
    }
    Port1->menuAction()->setEnabled(false);
    Program1->menuAction()->setEnabled(false);
    Start->setText(QString::fromLatin1(constante::CaptionStop));
    if (ReadId->isVisibleTo(this))
        ReadId->setEnabled(false);
    for (QProgressBar* bar : {ProgressBar1, ProgressBar2, ProgressBar3})
        bar->setValue(0);
    ProgressBar2->setMaximum(1);
    ProgressBar3->setMaximum(2 + CountNonEmptyLines(ScriptLines));
    ProbeIndex = 0;
    ProbeRetries = 0;
    SeqState = SeqQueryCard;
    OpenLink(lan);
}

// The driver never reports a failed open by itself; it keeps the result of its
// last attempt. A TCP connection still being attempted counts as opened.
void TMainFich::OpenLink(bool lan)
{
    Driver->SetConType(lan ? IPConfigDlg->LanMode : CON_RS232);
    if (!Driver->LastOpenSucceeded())
        ShowError(lan ? std::string(constante::ErrorOpeningLan) : SerialOpenError());
}

std::string TMainFich::SerialOpenError() const
{
    return constante::ErrorOpeningPort + SelectedComPort() + FormatText(constante::OpenedDeviceFormat, Driver->GetPort());
}

void TMainFich::StepQueryCard()
{
    ScriptLineIndex = 0;
    ReceivedText.clear();
    FilterMainScriptManual();
    Driver->SendVarCommand(constante::VarQueryIndex);
    Countdown = constante::ProbeCountdownMs;
    SeqState = SeqAwaitCardType;
}

void TMainFich::StepAwaitCardType()
{
    if (Countdown == 0) {
        ShowInfo(constante::SwitchOnDevice);
        SeqState = SeqStartSync;
        return;
    }
    if (Driver->GetDEV() == constante::DeviceTypeCodes[ProbeIndex]) {
        ShowInfo(constante::Synchronize);
        Driver->SetUPDATER(constante::UpdaterHandOverFirst);
        Driver->SetUPDATER(constante::UpdaterHandOverSecond);
        SeqState = SeqStartSync;
    } else if (ProbeRetries < constante::ProbeRepeats) {
        ++ProbeRetries;
        ProbeIndex = ProbeIndex == 0 ? 1 : 0;
        SeqState = SeqQueryCard;
    }
}

void TMainFich::StepStartSync()
{
    Driver->SetConMode(MODE_RAW);
    if (Driver->GetConType() == CON_RS232) {
        Driver->SetConType(CON_NONE);
        Driver->SetBaudRate(constante::RawPhaseBaud);
        Driver->SetConType(CON_RS232);
        if (!Driver->LastOpenSucceeded()) {
            ShowError(SerialOpenError());
            return;
        }
    }
    ProgBoot->SetCommandLine(constante::LineSync);
    ProgBoot->Step();
    SeqState = SeqAwaitSync;
}

void TMainFich::StepAwaitSync()
{
    if (ProgBoot->IsBusy())
        ProgBoot->Step();
    if (EngineBusy || SeqState == SeqFailed)
        return;
    ScriptLineIndex = 0;
    ToMaximum(ProgressBar1);
    ToMaximum(ProgressBar2);
    StepBar(ProgressBar3);
    SeqState = SeqNextMainLine;
}

void TMainFich::StepFailed()
{
    ReceivedText.clear();
    RestoreButtons();
    Driver->SetConType(CON_NONE);
    SeqState = SeqErrorBox;
}

void TMainFich::StepErrorBox()
{
    const std::string& script = ComponentIndex == -1 ? ScriptPath : ComponentScriptPath;
    ShowBox(TBoxKind::Error, Latin1(LastError + constante::LineEnd + script));
    SeqState = SeqIdle;
    if (OnRunEnd)
        OnRunEnd(false);
}

void TMainFich::StepStartClosing()
{
    CurrentLine = constante::LineClosing;
    InstCrt->SetCommandLine(CurrentLine);
    InstCrt->Step();
    SeqState = SeqAwaitClosing;
}

void TMainFich::StepAwaitClosing()
{
    InstCrt->Step();
    if (!EngineBusy && SeqState != SeqFailed)
        SeqState = SeqCompleted;
}

void TMainFich::StepCompleted()
{
    ReceivedText.clear();
    ShowInfo(constante::OperationCompleted);
    RestoreButtons();
    Driver->SetConType(CON_NONE);
    SeqState = SeqIdle;
    Port1->menuAction()->setEnabled(true);
    Program1->menuAction()->setEnabled(true);
    for (QProgressBar* bar : {ProgressBar1, ProgressBar2, ProgressBar3})
        ToMaximum(bar);
    if (OnRunEnd)
        OnRunEnd(true);
}

void TMainFich::StepNextMainLine()
{
    if (ScriptLineIndex >= static_cast<std::int32_t>(ScriptLines.size())) {
        SeqState = FileNamePart(ScriptPath) == constante::MainScriptName ? SeqStartBootOption : SeqStartClosing;
        return;
    }
    CurrentLine = Trim(ScriptLines[static_cast<std::size_t>(ScriptLineIndex)]);
    ++ScriptLineIndex;
    if (StartsWith(CurrentLine, constante::PrefixMotherboard)) {
        ComponentIndex = constante::MotherboardComponent;
        StartComponent(constante::MotherboardFolder);
        return;
    }
    if (StartsWith(CurrentLine, constante::PrefixComponent)) {
        const std::string number = Trim(std::string_view(CurrentLine).substr(1));
        // "C" alone names no component at all.
        const unsigned component = number.empty() ? std::size(constante::ComponentFolders) : HexValue(number[0]);
        if (component >= std::size(constante::ComponentFolders)) {
            ComponentIndex = -1;
            SetCurentCardDir(AppFolder());
            SyntaxError(ScriptLineIndex);
            return;
        }
        ComponentIndex = static_cast<std::int32_t>(component);
        StartComponent(constante::ComponentFolders[component]);
        return;
    }
    ToMinimum(ProgressBar1);
    ToMinimum(ProgressBar2);
    if (CurrentLine.empty() || StartsWith(CurrentLine, constante::Remark)) {
        ToMaximum(ProgressBar1);
        ToMaximum(ProgressBar2);
        StepBar(ProgressBar3);
        return;
    }
    if (Dispatch())
        SeqState = SeqAwaitMainLine;
    else
        SyntaxError(ScriptLineIndex);
}

void TMainFich::StartComponent(const std::string& folder)
{
    SetCurentCardDir(AppFolder() + folder);
    ComponentScriptPath = CurentCardDir + FileNamePart(ScriptPath);
    ComponentLines.clear();
    // A missing component script ends the run: carrying on would end with
    // "Program operation completed" for a card whose component was never updated.
    if (!LoadTextLines(ComponentScriptPath, ComponentLines)) {
        ShowError(ComponentScriptPath + constante::FileNotFound);
        return;
    }
    ComponentLineIndex = 0;
    FilterComponentScriptManual();
    ProgressBar2->setMaximum(1 + CountNonEmptyLines(ComponentLines));
    ToMinimum(ProgressBar2);
    SeqState = SeqNextComponentLine;
}

void TMainFich::StepAwaitMainLine()
{
    StepBusyEngines();
    if (EngineBusy || SeqState == SeqFailed)
        return;
    ToMaximum(ProgressBar1);
    ToMaximum(ProgressBar2);
    StepBar(ProgressBar3);
    SeqState = SeqNextMainLine;
}

void TMainFich::StepNextComponentLine()
{
    if (ComponentLineIndex >= static_cast<std::int32_t>(ComponentLines.size())) {
        ComponentIndex = -1;
        SetCurentCardDir(AppFolder());
        ComponentLines.clear();
        ToMaximum(ProgressBar1);
        ToMaximum(ProgressBar2);
        StepBar(ProgressBar3);
        SeqState = SeqNextMainLine;
        return;
    }
    CurrentLine = Trim(ComponentLines[static_cast<std::size_t>(ComponentLineIndex)]);
    ++ComponentLineIndex;
    ToMinimum(ProgressBar1);
    if (CurrentLine.empty() || StartsWith(CurrentLine, constante::Remark)) {
        StepBar(ProgressBar2);
        return;
    }
    if (Dispatch())
        SeqState = SeqAwaitComponentLine;
    else
        SyntaxError(ComponentLineIndex);
}

void TMainFich::StepAwaitComponentLine()
{
    StepBusyEngines();
    if (!EngineBusy && SeqState != SeqFailed) {
        SeqState = SeqNextComponentLine;
        StepBar(ProgressBar2);
    }
}

void TMainFich::StepStartBootOption()
{
    ToMinimum(ProgressBar1);
    ProgressBar2->setMaximum(3);
    ToMinimum(ProgressBar2);
    CurrentLine = constante::LineBootOption;
    ProgBoot->SetCommandLine(CurrentLine);
    ProgBoot->Step();
    StepBar(ProgressBar2);
    SeqState = SeqAwaitBootOption;
}

void TMainFich::StepAwaitBootOption()
{
    ProgBoot->Step();
    if (EngineBusy || SeqState == SeqFailed)
        return;
    StepBar(ProgressBar1);
    StepBar(ProgressBar2);
    CurrentLine = constante::LineOptionPrefix + OptionCode;
    InstCrt->SetCommandLine(CurrentLine);
    InstCrt->Step();
    SeqState = SeqAwaitOptionCode;
}

void TMainFich::StepAwaitOptionCode()
{
    InstCrt->Step();
    if (!EngineBusy && SeqState != SeqFailed) {
        StepBar(ProgressBar2);
        SeqState = SeqStartClosing;
    }
}

// ---- Helpers of the steps -----------------------------------------------------------------

bool TMainFich::Dispatch()
{
    ProgBoot->SetCommandLine(CurrentLine);
    ProgBoot->Step();
    InstCrt->SetCommandLine(CurrentLine);
    InstCrt->Step();
    ProgPsd->SetCommandLine(CurrentLine);
    ProgPsd->Step();
    ProgJtag->SetCommandLine(CurrentLine);
    ProgJtag->Step();
    return EngineBusy;
}

void TMainFich::StepBusyEngines()
{
    if (ProgBoot->IsBusy())
        ProgBoot->Step();
    if (InstCrt->IsBusy())
        InstCrt->Step();
    if (ProgPsd->IsBusy())
        ProgPsd->Step();
    if (ProgJtag->IsBusy())
        ProgJtag->Step();
}

void TMainFich::SyntaxError(std::int32_t lineNumber)
{
    ShowError(constante::SyntaxErrorLine + std::to_string(lineNumber));
}

void TMainFich::RestoreButtons()
{
    Quit->setEnabled(true);
    if (ReadId->isVisibleTo(this)) {
        ReadId->setEnabled(true);
        Start->setText(QString::fromLatin1(constante::CaptionStart));
    } else {
        Start->setText(QString::fromLatin1(constante::CaptionQuit));
    }
}
