#include "UpdateSession.h"

#include "StatusFilter.h"
#include "constante.h"
#include "hex.h"
#include "textutil.h"

#include <QFileInfo>

#include <algorithm>
#include <chrono>

TUpdateSession::TUpdateSession(std::string appDir, std::string scriptArgument)
    : AppDir(std::move(appDir)), ScriptArgument(std::move(scriptArgument))
{
    Driver = std::make_unique<TComDriver>();
    Driver->SetTag(1);
    Driver->OnRecString = [this](TComDriver& sender, std::int32_t nro) { DriverRecString(sender, nro); };
    Driver->ShowSocketError = [this](const std::string& text) {
        if (OnBox)
            OnBox(TBoxKind::Error, text);
    };
    Driver->SetBaudRate(constante::RawPhaseBaud);
    Driver->SetConMode(MODE_RAW);

    OptionCode = constante::DefaultOptionCode;

    ProgBoot = std::make_unique<TProgBoot>();
    WireEngine(*ProgBoot);
    ProgBoot->OnBootChecksum = [this](TGestionnaire&, std::uint16_t checksum) { TellBootChecksum(checksum); };
    InstCrt = std::make_unique<TInstCrt>();
    WireEngine(*InstCrt);
    InstCrt->OnVersionSame = [this](TGestionnaire& sender, std::int32_t component) { SkipUpToDate(sender, component); };
    InstCrt->OnCardError = [this](TGestionnaire& sender, std::int32_t card) { SkipFailedCard(sender, card); };
    InstCrt->OnCardReady = [this](TGestionnaire& sender, std::int32_t card) { CardReady(sender, card); };
    InstCrt->OnVersionRead = [this](TGestionnaire&, const TCardText& text) { TellVersionRead(text); };
    InstCrt->OnVersionWritten = [this](TGestionnaire&, const TCardText& text) { TellTextWritten(text); };
    InstCrt->OnOptionWritten = [this](TGestionnaire&, const TCardText& text) { TellTextWritten(text); };
    ProgPsd = std::make_unique<TProgPsd>();
    WireEngine(*ProgPsd);
    ProgJtag = std::make_unique<TProgJtag>();
    WireEngine(*ProgJtag);
    SetCurentCardDir(AppFolder());

    Timer1.setInterval(static_cast<int>(IdleIntervalMs));
    QObject::connect(&Timer1, &QTimer::timeout, &Timer1, [this] { Timer1Timer(); });
    Timer1.start();
}

TUpdateSession::~TUpdateSession()
{
    Closed = true;
    Timer1.stop();
    // The engines and the driver call back into the session: they go while it is whole.
    ProgJtag.reset();
    ProgPsd.reset();
    InstCrt.reset();
    ProgBoot.reset();
    Driver.reset();
}

std::string TUpdateSession::AppFolder() const { return AppDir + '/'; }

std::vector<TGestionnaire*> TUpdateSession::Engines() const
{
    return {ProgBoot.get(), InstCrt.get(), ProgPsd.get(), ProgJtag.get()};
}

std::int64_t TUpdateSession::SteadyClockMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::int64_t TUpdateSession::SecondsLeft() const
{
    const std::uint64_t planned = Plan.BytesToCard() + Plan.BytesFromCard();
    const std::int64_t elapsedMs = RunStartMs < 0 ? 0 : ClockMs() - RunStartMs;
    if (IsIdle() || RunStartMs < 0 || BytesCarried == 0 || planned == 0 || elapsedMs < EstimateAfterMs)
        return -1;
    if (BytesCarried >= planned)
        return 0;
    const double elapsedSeconds = static_cast<double>(elapsedMs) / 1000.0;
    return static_cast<std::int64_t>(elapsedSeconds * static_cast<double>(planned - BytesCarried) /
                                         static_cast<double>(BytesCarried) +
                                     0.5);
}

void TUpdateSession::SetConfinedToFolder(bool confined)
{
    if (confined == IsConfinedToFolder())
        return;
    if (confined) {
        UnconfinedFiles = &ProgJtag->GetFileSource();
        Confined = std::make_unique<TConfinedFiles>(*UnconfinedFiles, AppFolder());
    }
    for (TGestionnaire* engine : Engines())
        engine->SetFileSource(confined ? *Confined : *UnconfinedFiles);
    if (!confined)
        Confined.reset();
}

void TUpdateSession::SetCurentCardDir(const std::string& dir)
{
    CurentCardDir = dir;
    for (TGestionnaire* engine : Engines())
        engine->SetCurentDir(dir);
}

// ---- Operations -------------------------------------------------------------------------------

// Whatever the last run left (an engine stopped mid-operation, the card's
// identity, the component folder) goes before the next one starts, also when
// no idle step has come between them.
void TUpdateSession::ResetForRun()
{
    for (TGestionnaire* engine : Engines())
        engine->Reset();
    // Reset raises no event: the session's own copy of the busy flag goes too.
    EngineBusy = false;
    CardDeviceID = 0;
    DeviceIdentified = false;
    OptionCode = constante::DefaultOptionCode;
    ComponentIndex = -1;
    ComponentLines.clear();
    CurrentLine.clear();
    ReceivedText.clear();
    SetCurentCardDir(AppFolder());
}

bool TUpdateSession::Start()
{
    if (SeqState != TSeqState::Idle || Closed)
        return false;
    ResetForRun();
    ScriptPath = ScriptArgument.empty() ? AppFolder() + constante::MainScriptName : QFileInfo(QString::fromStdString(ScriptArgument)).absoluteFilePath().toStdString();
    SeqState = TSeqState::LoadScript;
    return true;
}

bool TUpdateSession::ReadId()
{
    if (SeqState != TSeqState::Idle || Closed)
        return false;
    ResetForRun();
    ScriptPath = AppFolder() + constante::ReadIdScriptName;
    SeqState = TSeqState::LoadScript;
    return true;
}

// The engines are reset by the next START, or by the next idle step.
void TUpdateSession::Stop()
{
    // The closing operation has been accepted: the run is complete, not stopped.
    if (SeqState == TSeqState::Completed) {
        StepCompleted();
        return;
    }
    const bool running = SeqState != TSeqState::Idle;
    Driver->SetConType(CON_NONE);
    SeqState = TSeqState::Idle;
    if (running)
        EndRun(TRunResult::Stopped, {}, ScriptPath);
}

void TUpdateSession::Fail(std::string_view message)
{
    if (IsIdle() || SeqState == TSeqState::Failed || SeqState == TSeqState::ErrorBox ||
        SeqState == TSeqState::Completed || Closed)
        return;
    ShowError(message);
}

std::uint64_t TUpdateSession::GetNoiseDropped() const
{
    return EngineNoiseDropped + (Driver->GetNoiseDropped() - DriverNoiseAtStart);
}

void TUpdateSession::Close()
{
    if (Closed)
        return;
    Closed = true;
    Timer1.stop();
    Driver->SetConType(CON_NONE);
}

void TUpdateSession::EndRun(TRunResult result, const std::string& message, const std::string& script)
{
    TellRunEnded(result, message, script);
    if (OnRunEnd)
        OnRunEnd(result, message, script);
}

// ---- Status lines -------------------------------------------------------------------------------

void TUpdateSession::ShowInfo(std::string_view text)
{
    if (!IsRoutineStepName(text))
        AddStatusLine(text);
}

void TUpdateSession::ShowError(std::string_view text)
{
    LastError = text;
    SeqState = TSeqState::Failed;
    AddStatusLine(text);
}

void TUpdateSession::AddStatusLine(std::string_view text)
{
    if (text == LastStatusLine)
        return;
    LastStatusLine = text;
    TellStatusLine();
    if (OnStatusLine)
        OnStatusLine(LastStatusLine);
}

std::string TUpdateSession::DeviceIdText() const
{
    if (CardDeviceID == 0)
        return constante::DeviceIdUnknown;
    return FormatText(constante::DeviceIdFormat, WordToHex(static_cast<std::uint32_t>(CardDeviceID) & 0xFFFF));
}

// ---- Progress values ----------------------------------------------------------------------------

void TUpdateSession::ToMinimum(TRunBar bar) { SetBarValue(bar, 0); }

void TUpdateSession::ToMaximum(TRunBar bar) { SetBarValue(bar, Bar(bar).Maximum); }

void TUpdateSession::StepBar(TRunBar bar) { SetBarValue(bar, std::min(Bar(bar).Value + 1, Bar(bar).Maximum)); }

// A value beyond the new maximum starts again from empty.
void TUpdateSession::SetBarMaximum(TRunBar bar, std::int32_t maximum)
{
    TBarValue& value = Bar(bar);
    value.Maximum = std::max(maximum, 0);
    if (value.Value > value.Maximum)
        value.Value = 0;
    if (OnProgress)
        OnProgress(bar, value);
}

void TUpdateSession::SetBarValue(TRunBar bar, std::int32_t value)
{
    Bar(bar).Value = std::clamp(value, 0, Bar(bar).Maximum);
    if (OnProgress)
        OnProgress(bar, Bar(bar));
}
