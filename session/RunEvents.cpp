// What TUpdateSession tells its run observer. Each function is called from the
// one place in the sequencer or the engine handlers where its fact is known.
#include "UpdateSession.h"

#include "RunObserver.h"

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
    if (RunObserver)
        RunObserver->LineStarted(script, lineNumber, line);
}

void TUpdateSession::TellSent(const std::string& text)
{
    if (RunObserver)
        RunObserver->SentToCard(text);
}

void TUpdateSession::TellRetransmission()
{
    if (RunObserver)
        RunObserver->RetransmissionAsked();
}

void TUpdateSession::TellEngineBusy(TGestionnaire& Sender)
{
    if (RunObserver && !Sender.IsBusy())
        RunObserver->LineEngineIdle();
}

void TUpdateSession::TellEngineError(TGestionnaire& Sender)
{
    if (RunObserver)
        RunObserver->LineFailed(Sender.GetErrorText());
}

void TUpdateSession::TellBootChecksum(std::uint16_t checksum)
{
    if (RunObserver)
        RunObserver->BootChecksum(checksum);
}

void TUpdateSession::TellVersionRead(const TCardText& text)
{
    if (RunObserver)
        RunObserver->VersionRead(text);
}

void TUpdateSession::TellTextWritten(const TCardText& text)
{
    if (RunObserver)
        RunObserver->TextWritten(text);
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

void TUpdateSession::TellProgrammed(const std::string& part)
{
    if (RunObserver)
        RunObserver->Programmed(part);
}
