// What TUpdateSession tells its run observer. Each function is called from the
// one place in the sequencer or the engine handlers where its fact is known.
#include "UpdateSession.h"

#include "RunObserver.h"
#include "constante.h"
#include "textutil.h"

void TUpdateSession::TellRunStarted()
{
    if (RunObserver)
        RunObserver->RunStarted();
}

void TUpdateSession::TellStatusLine()
{
    if (RunObserver)
        RunObserver->StatusLine(LastStatusLine);
}

void TUpdateSession::TellLineStarted(const std::string& script, std::int32_t lineNumber, const std::string& line)
{
    RetriesBeforeLine = RetriesAsked();
    if (RunObserver)
        RunObserver->LineStarted(script, lineNumber, line);
}

void TUpdateSession::TellSent()
{
    if (RunObserver)
        RunObserver->SentToCard();
}

void TUpdateSession::TellEngineBusy(TGestionnaire& Sender)
{
    if (RunObserver && !Sender.IsBusy())
        RunObserver->LineEngineIdle(RetriesAsked() - RetriesBeforeLine);
}

void TUpdateSession::TellEngineError(TGestionnaire& Sender)
{
    if (RunObserver)
        RunObserver->LineFailed(Sender.GetErrorText());
}

void TUpdateSession::TellEngineInfo(TGestionnaire& Sender)
{
    const std::string& text = Sender.GetInfoText();
    if (RunObserver && &Sender == ProgBoot.get() && StartsWith(text, constante::InfoBootChecksum))
        RunObserver->BootChecksum(text.substr(std::string_view(constante::InfoBootChecksum).size()));
}

// The version engine takes the card's reply to "T" when its first "." follows
// the four version characters; the observer hears of the same reply.
void TUpdateSession::TellVersionReply(TGestionnaire& Sender)
{
    if (RunObserver && &Sender == InstCrt.get() && InstCrt->GetState() == TInstCrt::InstState::CompareVersion &&
        ReceivedText.find(constante::ReplyAccepted) == constante::VersionReplyLength)
        RunObserver->VersionRead(ReceivedText.substr(0, constante::VersionReplyLength));
}

void TUpdateSession::TellDeviceType()
{
    if (RunObserver)
        RunObserver->DeviceType(Driver->GetDEV());
}

void TUpdateSession::TellDeviceId()
{
    if (RunObserver)
        RunObserver->DeviceId(CardDeviceID);
}

void TUpdateSession::TellSkipped(const std::string& component, TSkipReason reason)
{
    if (RunObserver)
        RunObserver->ComponentSkipped(component, reason);
}

void TUpdateSession::TellRunEnded(TRunResult result, const std::string& message, const std::string& script)
{
    if (RunObserver)
        RunObserver->RunEnded(result, message, script);
}
