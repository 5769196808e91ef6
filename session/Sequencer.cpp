// The update sequencer of TUpdateSession: one step of the state machine per
// timer tick and per arrival of text from the card.
#include "UpdateSession.h"

#include "LineFilters.h"
#include "constante.h"
#include "hex.h"
#include "textutil.h"

#include <QFileInfo>

#include <algorithm>
#include <exception>

namespace {

std::string FileNamePart(const std::string& path) { return QFileInfo(QString::fromStdString(path)).fileName().toStdString(); }

}  // namespace

// ---- Ticks and arrivals ---------------------------------------------------------------------------

void TUpdateSession::Timer1Timer()
{
    // A message box inside a step turns the event loop: the tick waits for the step to end.
    if (Closed || InStep)
        return;
    Timer1.stop();
    const auto interval = static_cast<std::uint32_t>(Timer1.interval());
    Countdown = interval >= Countdown ? 0 : Countdown - interval;
    GuardedStep();
    if (Closed)
        return;
    WatchCardSilence();
    Timer1.start();
}

// While the firmware answers the probe, every arrival puts the next tick a whole
// interval off, so the line is quiet before it changes speed. In the
// programming phase the timer keeps running: a tick that comes during the step
// waits for it (the event loop has one thread), and stopping and starting the
// timer for every reply would cost more than the rest of the reply's handling.
void TUpdateSession::DriverRecString(TComDriver&, std::int32_t)
{
    const bool probing = Driver->GetConMode() != MODE_RAW;
    if (probing) {
        Timer1.stop();
        // The driver raises this for a reply line it accepted, never for noise.
        ReplyTaken();
    }
    const std::string arrived = Driver->ReadRaw();
    BytesCarried += arrived.size();
    ReceivedText += arrived;
    if (OnCardText)
        OnCardText();
    if (ReceivedText.size() > MaxReceivedText) {
        ReceivedText.clear();
        Fail(FormatText(constante::CardTextNoReplyFormat, LinkName(Link)));
    }
    // A message box inside a step runs an event loop of its own; what arrives
    // meanwhile waits in ReceivedText for the next step.
    if (!InStep && !Closed && SeqState != TSeqState::LoadScript && SeqState != TSeqState::StartSync &&
        SeqState != TSeqState::Failed && SeqState != TSeqState::Completed)
        GuardedStep();
    if (probing && !Closed && !InStep)
        Timer1.start();
}

void TUpdateSession::GuardedStep()
{
    const TSeqState stateBefore = SeqState;
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
void TUpdateSession::StepAgainIfMovedOn(TSeqState stateBefore)
{
    const bool movedOn = StepMovedOn || SeqState != stateBefore;
    const bool waitsForCard = StepSentToCard && ReceivedText.empty();
    if (!movedOn || waitsForCard || !StepsWithoutCard(SeqState) || StepAgainPosted || Closed)
        return;
    StepAgainPosted = true;
    QMetaObject::invokeMethod(&Timer1, [this] { StepAgain(); }, Qt::QueuedConnection);
}

void TUpdateSession::StepAgain()
{
    StepAgainPosted = false;
    if (InStep || Closed || !StepsWithoutCard(SeqState))
        return;
    Timer1.stop();
    GuardedStep();
    if (!Closed)
        Timer1.start();
}

// The probe keeps to the ticks, which its countdown counts; states that open or
// close the link, or show the error box, wait for the tick as well.
bool TUpdateSession::StepsWithoutCard(TSeqState state)
{
    switch (state) {
    case TSeqState::AwaitSync:
    case TSeqState::StartClosing:
    case TSeqState::AwaitClosing:
    case TSeqState::Completed:
    case TSeqState::NextMainLine:
    case TSeqState::AwaitMainLine:
    case TSeqState::NextComponentLine:
    case TSeqState::AwaitComponentLine:
    case TSeqState::StartBootOption:
    case TSeqState::AwaitBootOption:
    case TSeqState::AwaitOptionCode:
        return true;
    default:
        return false;
    }
}

// A silent card may be a wrong link, a card switched off or one busy for a
// long time: the run goes on and the operator, told once, decides.
void TUpdateSession::WatchCardSilence()
{
    if (!WaitsOnCard() || HeardAtMs < 0) {
        HeardAtMs = ClockMs();
        CardSilenceShown = false;
        return;
    }
    if (CardSilenceShown || ClockMs() - HeardAtMs < static_cast<std::int64_t>(CardSilenceIntervalMs))
        return;
    CardSilenceShown = true;
    ShowInfo(FormatText(constante::CardSilentFormat, {std::to_string(CardSilenceIntervalMs / 1000), Hints.Stop}));
}

bool TUpdateSession::WaitsOnCard() const
{
    switch (SeqState) {
    case TSeqState::Idle:
    case TSeqState::LoadScript:
    case TSeqState::Failed:
    case TSeqState::ErrorBox:
    case TSeqState::Completed:
        return false;
    default:
        for (const TGestionnaire* engine : Engines())
            if (engine->IsBusy() && engine->IsPausing())
                return false;
        return true;
    }
}

// ---- The state machine ---------------------------------------------------------------------

void TUpdateSession::SequencerStep()
{
    switch (SeqState) {
    case TSeqState::Idle: StepIdle(); break;
    case TSeqState::LoadScript: StepLoadScript(); break;
    case TSeqState::QueryCard: StepQueryCard(); break;
    case TSeqState::AwaitCardType: StepAwaitCardType(); break;
    case TSeqState::StartSync: StepStartSync(); break;
    case TSeqState::AwaitSync: StepAwaitSync(); break;
    case TSeqState::Failed: StepFailed(); break;
    case TSeqState::ErrorBox: StepErrorBox(); break;
    case TSeqState::StartClosing: StepStartClosing(); break;
    case TSeqState::AwaitClosing: StepAwaitClosing(); break;
    case TSeqState::Completed: StepCompleted(); break;
    case TSeqState::NextMainLine: StepNextMainLine(); break;
    case TSeqState::AwaitMainLine: StepAwaitMainLine(); break;
    case TSeqState::NextComponentLine: StepNextComponentLine(); break;
    case TSeqState::AwaitComponentLine: StepAwaitComponentLine(); break;
    case TSeqState::StartBootOption: StepStartBootOption(); break;
    case TSeqState::AwaitBootOption: StepAwaitBootOption(); break;
    case TSeqState::AwaitOptionCode: StepAwaitOptionCode(); break;
    default: SeqState = TSeqState::Idle; break;
    }
}

void TUpdateSession::StepIdle()
{
    if (Hints.IdlePrompt)
        ShowInfo(constante::IdlePrompt);
    ResetForRun();
    Timer1.setInterval(static_cast<int>(IdleIntervalMs));
    if (OnIdle)
        OnIdle();
}

void TUpdateSession::StepLoadScript()
{
    TellRunStarted();
    Timer1.setInterval(static_cast<int>(RunIntervalMs));
    Plan = {};
    LinesSent = 0;
    Retransmissions = 0;
    EngineNoiseDropped = 0;
    DriverNoiseAtStart = Driver->GetNoiseDropped();
    BytesCarried = 0;
    RunStartMs = ClockMs();
    if (!LoadTextLines(ScriptPath, ScriptLines)) {
        ShowError(ScriptPath + constante::FileNotFound);
        ShowInfo(Hints.OpenUpdate);
        return;
    }
    if (!CheckedUpdate())
        return;
    Driver->SetConMode(MODE_VAR);
    if (Link.IsLan()) {
        Driver->SetIpLocalPort(Link.LocalPort);
        Driver->SetIpRemotePort(Link.RemotePort);
        Driver->SetIpRemoteAddress(Link.RemoteAddress);
    } else {
        Driver->SetBaudRate(constante::VarPhaseBaud);
        Driver->SetPort(Link.SerialDevice);
    }
    if (OnRunStart)
        OnRunStart();
    for (TRunBar bar : {TRunBar::Operation, TRunBar::Component, TRunBar::Whole})
        SetBarValue(bar, 0);
    SetBarMaximum(TRunBar::Component, 1);
    SetBarMaximum(TRunBar::Whole, 2 + CountNonEmptyLines(ScriptLines));
    ProbeIndex = 0;
    ProbeRetries = 0;
    SeqState = TSeqState::QueryCard;
    OpenLink();
}

// A broken update found part-way leaves a half-programmed card: every file the
// run will read is looked at first. The plan also gives the bytes the run will
// carry, which the time left is measured against.
bool TUpdateSession::CheckedUpdate()
{
    TPlanSettings settings;
    settings.Files = &ProgJtag->GetFileSource();
    settings.PlayOpenPause = ProgJtag->PlayOpenPause;
    Plan = PlanUpdate(AppDir, ScriptPath, settings);
    // A bundle's line that names a file outside it would send what no signature
    // covers: that refusal holds with the check off too.
    std::vector<const TPlanProblem*> refused;
    for (const TPlanProblem& problem : Plan.Problems)
        if (CheckUpdate || problem.Outside)
            refused.push_back(&problem);
    if (refused.empty())
        return true;
    const std::size_t shown = std::min(refused.size(), ProblemsShown);
    std::string problems;
    for (std::size_t index = 0; index < shown; ++index) {
        ShowInfo(ProblemText(*refused[index]));
        problems += constante::TextLineBreak + ProblemText(*refused[index]);
    }
    if (refused.size() > shown)
        problems += constante::TextLineBreak + FormatText(constante::CheckMoreProblems, std::to_string(refused.size() - shown));
    ShowError(FormatText(constante::CheckFailed, std::to_string(refused.size())));
    LastError += problems;
    return false;
}

// The driver never reports a failed open by itself; it keeps the result of its
// last attempt. A TCP connection still being attempted counts as opened.
void TUpdateSession::OpenLink()
{
    Driver->SetConType(Link.IsLan() ? Link.ConType : CON_RS232);
    if (Driver->LastOpenSucceeded())
        return;
    if (Link.IsLan())
        ShowError(constante::ErrorOpeningLan);
    else
        ShowSerialOpenFailure();
}

void TUpdateSession::ShowSerialOpenFailure()
{
    if (const auto& failure = Driver->GetComPort().LastOpenFailure(); failure) {
        const std::string reason = SerialOpenFailureText(Driver->GetComPort().GetPort(), *failure, Hints.ChooseDevice);
        if (!reason.empty())
            ShowInfo(reason);
    }
    ShowError(SerialOpenError());
}

std::string TUpdateSession::SerialOpenError() const { return constante::ErrorOpeningPort + LinkName(Link); }

void TUpdateSession::StepQueryCard()
{
    ScriptLineIndex = 0;
    ReceivedText.clear();
    FilterMainScriptManual();
    Driver->SendVarCommand(constante::VarQueryIndex);
    Countdown = constante::ProbeCountdownMs;
    SeqState = TSeqState::AwaitCardType;
}

void TUpdateSession::StepAwaitCardType()
{
    if (Countdown == 0) {
        ShowInfo(UnansweredLinkText());
        ShowInfo(constante::SwitchOnDevice);
        SeqState = TSeqState::StartSync;
        return;
    }
    if (Driver->GetDEV() == constante::DeviceTypeCodes[ProbeIndex]) {
        TellDeviceType();
        ShowInfo(constante::Synchronize);
        Driver->SetUPDATER(constante::UpdaterHandOverFirst);
        Driver->SetUPDATER(constante::UpdaterHandOverSecond);
        SeqState = TSeqState::StartSync;
    } else if (ProbeRetries < constante::ProbeRepeats) {
        ++ProbeRetries;
        ProbeIndex = ProbeIndex == 0 ? 1 : 0;
        SeqState = TSeqState::QueryCard;
    }
}

std::string TUpdateSession::UnansweredLinkText() const
{
    if (!Link.IsLan())
        return FormatText(constante::NoAnswerSerialFormat, {LinkName(Link), std::to_string(Driver->GetBaudRate())});
    if (Link.ConType == CON_TCP && !Driver->GetTcpClient().IsConnected()) {
        const std::string& failure = Driver->GetTcpClient().LastFailure();
        return FormatText(constante::NoTcpConnectionFormat,
                          {LinkName(Link), failure.empty() ? std::string(constante::NoTcpConnectionPending) : failure});
    }
    return FormatText(constante::NoAnswerLanFormat, LinkName(Link));
}

void TUpdateSession::StepStartSync()
{
    Driver->SetConMode(MODE_RAW);
    if (Driver->GetConType() == CON_RS232) {
        Driver->SetConType(CON_NONE);
        Driver->SetBaudRate(constante::RawPhaseBaud);
        Driver->SetConType(CON_RS232);
        if (!Driver->LastOpenSucceeded()) {
            ShowSerialOpenFailure();
            return;
        }
    }
    TellLineStarted({}, 0, constante::LineSync);
    ProgBoot->SetCommandLine(constante::LineSync);
    ProgBoot->Step();
    SeqState = TSeqState::AwaitSync;
}

void TUpdateSession::StepAwaitSync()
{
    if (ProgBoot->IsBusy())
        ProgBoot->Step();
    if (EngineBusy || SeqState == TSeqState::Failed)
        return;
    ScriptLineIndex = 0;
    ToMaximum(TRunBar::Operation);
    ToMaximum(TRunBar::Component);
    StepBar(TRunBar::Whole);
    SeqState = TSeqState::NextMainLine;
}

void TUpdateSession::StepFailed()
{
    ReceivedText.clear();
    if (OnRunEnding)
        OnRunEnding();
    Driver->SetConType(CON_NONE);
    SeqState = TSeqState::ErrorBox;
}

void TUpdateSession::StepErrorBox()
{
    const std::string script = ComponentIndex == -1 ? ScriptPath : ComponentScriptPath;
    if (OnBox)
        OnBox(TBoxKind::Error, LastError + constante::TextLineBreak + script);
    SeqState = TSeqState::Idle;
    EndRun(TRunResult::Failed, LastError, script);
}

void TUpdateSession::StepStartClosing()
{
    CurrentLine = constante::LineClosing;
    TellLineStarted({}, 0, CurrentLine);
    InstCrt->SetCommandLine(CurrentLine);
    InstCrt->Step();
    SeqState = TSeqState::AwaitClosing;
}

void TUpdateSession::StepAwaitClosing()
{
    InstCrt->Step();
    if (!EngineBusy && SeqState != TSeqState::Failed)
        SeqState = TSeqState::Completed;
}

void TUpdateSession::StepCompleted()
{
    ReceivedText.clear();
    ShowInfo(constante::OperationCompleted);
    if (OnRunEnding)
        OnRunEnding();
    Driver->SetConType(CON_NONE);
    SeqState = TSeqState::Idle;
    for (TRunBar bar : {TRunBar::Operation, TRunBar::Component, TRunBar::Whole})
        ToMaximum(bar);
    EndRun(TRunResult::Completed, constante::OperationCompleted, ScriptPath);
}

void TUpdateSession::StepNextMainLine()
{
    if (ScriptLineIndex >= static_cast<std::int32_t>(ScriptLines.size())) {
        SeqState = FileNamePart(ScriptPath) == constante::MainScriptName ? TSeqState::StartBootOption
                                                                         : TSeqState::StartClosing;
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
    ToMinimum(TRunBar::Operation);
    ToMinimum(TRunBar::Component);
    if (CurrentLine.empty() || StartsWith(CurrentLine, constante::Remark)) {
        ToMaximum(TRunBar::Operation);
        ToMaximum(TRunBar::Component);
        StepBar(TRunBar::Whole);
        return;
    }
    TellLineStarted(ScriptPath, ScriptLineIndex, CurrentLine);
    if (Dispatch())
        SeqState = TSeqState::AwaitMainLine;
    else
        SyntaxError(ScriptLineIndex);
}

void TUpdateSession::StartComponent(const std::string& folder)
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
    SetBarMaximum(TRunBar::Component, 1 + CountNonEmptyLines(ComponentLines));
    ToMinimum(TRunBar::Component);
    SeqState = TSeqState::NextComponentLine;
}

void TUpdateSession::StepAwaitMainLine()
{
    StepBusyEngines();
    if (EngineBusy || SeqState == TSeqState::Failed)
        return;
    ToMaximum(TRunBar::Operation);
    ToMaximum(TRunBar::Component);
    StepBar(TRunBar::Whole);
    SeqState = TSeqState::NextMainLine;
}

void TUpdateSession::StepNextComponentLine()
{
    if (ComponentLineIndex >= static_cast<std::int32_t>(ComponentLines.size())) {
        ComponentIndex = -1;
        SetCurentCardDir(AppFolder());
        ComponentLines.clear();
        ToMaximum(TRunBar::Operation);
        ToMaximum(TRunBar::Component);
        StepBar(TRunBar::Whole);
        SeqState = TSeqState::NextMainLine;
        return;
    }
    CurrentLine = Trim(ComponentLines[static_cast<std::size_t>(ComponentLineIndex)]);
    ++ComponentLineIndex;
    ToMinimum(TRunBar::Operation);
    if (CurrentLine.empty() || StartsWith(CurrentLine, constante::Remark)) {
        StepBar(TRunBar::Component);
        return;
    }
    TellLineStarted(ComponentScriptPath, ComponentLineIndex, CurrentLine);
    if (Dispatch())
        SeqState = TSeqState::AwaitComponentLine;
    else
        SyntaxError(ComponentLineIndex);
}

void TUpdateSession::StepAwaitComponentLine()
{
    StepBusyEngines();
    if (!EngineBusy && SeqState != TSeqState::Failed) {
        SeqState = TSeqState::NextComponentLine;
        StepBar(TRunBar::Component);
    }
}

void TUpdateSession::StepStartBootOption()
{
    ToMinimum(TRunBar::Operation);
    SetBarMaximum(TRunBar::Component, 3);
    ToMinimum(TRunBar::Component);
    CurrentLine = constante::LineBootOption;
    TellLineStarted({}, 0, CurrentLine);
    ProgBoot->SetCommandLine(CurrentLine);
    ProgBoot->Step();
    StepBar(TRunBar::Component);
    SeqState = TSeqState::AwaitBootOption;
}

void TUpdateSession::StepAwaitBootOption()
{
    ProgBoot->Step();
    if (EngineBusy || SeqState == TSeqState::Failed)
        return;
    StepBar(TRunBar::Operation);
    StepBar(TRunBar::Component);
    CurrentLine = constante::LineOptionPrefix + OptionCode;
    TellLineStarted({}, 0, CurrentLine);
    InstCrt->SetCommandLine(CurrentLine);
    InstCrt->Step();
    SeqState = TSeqState::AwaitOptionCode;
}

void TUpdateSession::StepAwaitOptionCode()
{
    InstCrt->Step();
    if (!EngineBusy && SeqState != TSeqState::Failed) {
        StepBar(TRunBar::Component);
        SeqState = TSeqState::StartClosing;
    }
}

// ---- Helpers of the steps -----------------------------------------------------------------

bool TUpdateSession::Dispatch()
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

void TUpdateSession::StepBusyEngines()
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

void TUpdateSession::SyntaxError(std::int32_t lineNumber)
{
    ShowError(constante::SyntaxErrorLine + std::to_string(lineNumber));
}
