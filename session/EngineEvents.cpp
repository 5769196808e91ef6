// The handlers of the engines' events: commands to the link, received text to
// the busy engine, progress, messages and the device identifier to the views.
#include "UpdateSession.h"

#include "constante.h"
#include "hex.h"

void TUpdateSession::WireEngine(TGestionnaire& engine)
{
    engine.OnSend = [this](TGestionnaire& sender) { EngineSend(sender); };
    engine.OnChangeBufIn = [this](TGestionnaire& sender) { EngineChangeBufIn(sender); };
    engine.OnReceive = [this](TGestionnaire& sender) { EngineReceive(sender); };
    engine.OnChangeBusy = [this](TGestionnaire& sender) { EngineChangeBusy(sender); };
    engine.OnStepProgress = [this](TGestionnaire& sender) { EngineStepProgress(sender); };
    engine.OnChangeMaxProgress = [this](TGestionnaire& sender) { EngineChangeMaxProgress(sender); };
    engine.OnInfo = [this](TGestionnaire& sender) { EngineInfo(sender); };
    engine.OnError = [this](TGestionnaire& sender) { EngineError(sender); };
    engine.OnChangeDeviceID = [this](TGestionnaire& sender) { EngineChangeDeviceID(sender); };
    engine.OnRetransmission = [this](TGestionnaire&) { EngineRetransmission(); };
    engine.OnNoise = [this](TGestionnaire& sender) { EngineNoise(sender); };
    engine.OnProgrammed = [this](TGestionnaire&, const std::string& part) { TellProgrammed(part); };
}

void TUpdateSession::EngineSend(TGestionnaire& Sender)
{
    StepSentToCard = true;
    ++LinesSent;
    BytesCarried += Sender.GetOutBuffer().size();
    TellSent(Sender.GetOutBuffer());
    Driver->SendRaw(Sender.GetOutBuffer());
}

void TUpdateSession::EngineReceive(TGestionnaire& Sender) { Sender.SetInBuffer(ReceivedText); }

void TUpdateSession::EngineChangeBufIn(TGestionnaire& Sender)
{
    if (Sender.GetInBuffer().size() < ReceivedText.size()) {
        StepMovedOn = true;
        ReplyTaken();
    }
    ReceivedText = Sender.GetInBuffer();
}

// Noise leaves the received text as a reply does, but the card is no less silent for it.
void TUpdateSession::EngineNoise(TGestionnaire& Sender)
{
    EngineNoiseDropped += Sender.GetLastNoise();
    ReceivedText = Sender.GetInBuffer();
}

void TUpdateSession::ReplyTaken()
{
    HeardAtMs = ClockMs();
    CardSilenceShown = false;
    if (OnReplyTaken)
        OnReplyTaken();
}

void TUpdateSession::EngineChangeBusy(TGestionnaire& Sender)
{
    if (Sender.IsBusy() != EngineBusy)
        StepMovedOn = true;
    EngineBusy = Sender.IsBusy();
    TellEngineBusy(Sender);
}

void TUpdateSession::EngineStepProgress(TGestionnaire&) { StepBar(TRunBar::Operation); }

void TUpdateSession::EngineChangeMaxProgress(TGestionnaire& Sender) { SetBarMaximum(TRunBar::Operation, Sender.GetMaxProgress()); }

void TUpdateSession::EngineInfo(TGestionnaire& Sender) { ShowInfo(Sender.GetInfoText()); }

void TUpdateSession::EngineError(TGestionnaire& Sender)
{
    TellEngineError(Sender);
    ShowError(Sender.GetErrorText());
}

void TUpdateSession::EngineChangeDeviceID(TGestionnaire& Sender)
{
    CardDeviceID = Sender.GetDeviceID();
    LookUpOptionCode();
    for (TGestionnaire* engine : Engines())
        engine->SetUpdateAllowed(DeviceIdentified);
    TellDeviceId();
    if (OnDeviceID)
        OnDeviceID(CardDeviceID);
}

void TUpdateSession::EngineRetransmission()
{
    ++Retransmissions;
    TellRetransmission();
}

void TUpdateSession::LookUpOptionCode()
{
    DeviceIdentified = true;
    OptionCode = constante::DefaultOptionCode;
    for (const constante::OptionCodeRow& row : constante::OptionCodeTable)
        if (row.DeviceId == CardDeviceID) {
            OptionCode = WordToHex(row.OptionCode);
            break;
        }
}
