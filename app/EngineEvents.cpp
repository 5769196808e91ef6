// The handlers of the engines' events: commands to the link, received text to
// the busy engine, progress, messages and the device identifier to the window.
#include "main.h"

#include "constante.h"
#include "hex.h"

#include <QProgressBar>

void TMainFich::WireEngine(TGestionnaire& engine)
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
}

void TMainFich::EngineSend(TGestionnaire& Sender)
{
    StepSentToCard = true;
    Driver->SendRaw(Sender.GetOutBuffer());
}

void TMainFich::EngineReceive(TGestionnaire& Sender) { Sender.SetInBuffer(ReceivedText); }

void TMainFich::EngineChangeBufIn(TGestionnaire& Sender)
{
    if (Sender.GetInBuffer().size() < ReceivedText.size())
        StepMovedOn = true;
    ReceivedText = Sender.GetInBuffer();
}

void TMainFich::EngineChangeBusy(TGestionnaire& Sender)
{
    if (Sender.IsBusy() != EngineBusy)
        StepMovedOn = true;
    EngineBusy = Sender.IsBusy();
}

void TMainFich::EngineStepProgress(TGestionnaire&)
{
    ProgressBar1->setValue(std::min(ProgressBar1->value() + 1, ProgressBar1->maximum()));
}

void TMainFich::EngineChangeMaxProgress(TGestionnaire& Sender) { ProgressBar1->setMaximum(Sender.GetMaxProgress()); }

void TMainFich::EngineInfo(TGestionnaire& Sender) { ShowInfo(Sender.GetInfoText()); }

void TMainFich::EngineError(TGestionnaire& Sender) { ShowError(Sender.GetErrorText()); }

void TMainFich::EngineChangeDeviceID(TGestionnaire& Sender)
{
    CardDeviceID = Sender.GetDeviceID();
    LookUpOptionCode();
    for (TGestionnaire* engine : Engines())
        engine->SetUpdateAllowed(DeviceIdentified);
    FormPaint();
    update();
}

void TMainFich::LookUpOptionCode()
{
    DeviceIdentified = true;
    OptionCode = constante::DefaultOptionCode;
    for (const constante::OptionCodeRow& row : constante::OptionCodeTable)
        if (row.DeviceId == CardDeviceID) {
            OptionCode = WordToHex(row.OptionCode);
            break;
        }
}
