#include "gestionnaire.h"

#include "constante.h"
#include "textutil.h"

#include <algorithm>
#include <iterator>

void TGestionnaire::Raise(const TNotifyEvent& event)
{
    if (event)
        event(*this);
}

void TGestionnaire::ReportError(std::string_view msg)
{
    ErrorText = msg;
    Raise(OnError);
}

void TGestionnaire::Reset()
{
    CommandLine.clear();
    InBuffer.clear();
    OutBuffer.clear();
    ErrorText.clear();
    InfoText.clear();
    MaxProgress = DefaultMaxProgress;
    Busy = false;
    UpdateAllowed = false;
    DeviceID = 0;
    RetryCount = 0;
    NoiseDropped = 0;
    LastNoise = 0;
}

bool TGestionnaire::PlanLine(std::string_view, TOperationPlan&) const { return false; }

void TGestionnaire::SetBusy()
{
    Busy = true;
    Raise(OnChangeBusy);
}

void TGestionnaire::ClearBusy()
{
    Busy = false;
    Raise(OnChangeBusy);
}

void TGestionnaire::Info(std::string_view msg)
{
    InfoText = msg;
    Raise(OnInfo);
}

void TGestionnaire::SetMaxProgress(std::int32_t n)
{
    MaxProgress = n;
    Raise(OnChangeMaxProgress);
}

void TGestionnaire::StepProgress() { Raise(OnStepProgress); }

void TGestionnaire::Send(std::string_view cmd)
{
    OutBuffer = cmd;
    Raise(OnSend);
}

void TGestionnaire::PollInput() { Raise(OnReceive); }

void TGestionnaire::ConsumeInput(std::string_view s)
{
    InBuffer.erase(0, s.size());
    Raise(OnChangeBufIn);
}

void TGestionnaire::ClearInput()
{
    InBuffer.clear();
    Raise(OnChangeBufIn);
}

void TGestionnaire::DropNoise(std::string_view replyStarts)
{
    PollInput();
    DropNoiseAtFront(replyStarts);
}

void TGestionnaire::DropNoiseAtFront(std::string_view replyStarts)
{
    std::size_t noise = 0;
    while (noise < InBuffer.size() && replyStarts.find(InBuffer[noise]) == std::string_view::npos)
        ++noise;
    DropNoiseBytes(noise);
}

void TGestionnaire::DropNoiseInText()
{
    PollInput();
    DropNoiseWhere([](char c) { return !IsPrintable(c); });
}

void TGestionnaire::DropNoiseInside(std::string_view replyBytes)
{
    DropNoiseWhere([replyBytes](char c) { return replyBytes.find(c) == std::string_view::npos; });
}

template <class IsNoise>
void TGestionnaire::DropNoiseWhere(IsNoise isNoise)
{
    const auto kept = std::remove_if(InBuffer.begin(), InBuffer.end(), isNoise);
    const auto count = static_cast<std::size_t>(InBuffer.end() - kept);
    if (count == 0)
        return;
    InBuffer.erase(kept, InBuffer.end());
    CountNoise(count);
}

void TGestionnaire::DropNoiseBytes(std::size_t count)
{
    if (count == 0)
        return;
    InBuffer.erase(0, count);
    CountNoise(count);
}

void TGestionnaire::CountNoise(std::size_t count)
{
    NoiseDropped += count;
    LastNoise = count;
    Raise(OnNoise);
}

char TGestionnaire::PollReply(std::string_view replyStarts)
{
    DropNoise(replyStarts);
    return InBuffer.empty() ? NoReply : InBuffer.front();
}

void TGestionnaire::ConsumeReply() { ConsumeInput(InBuffer.substr(0, 1)); }

bool TGestionnaire::Acknowledged(char refusal, std::string_view message)
{
    const char replyStarts[] = {constante::ReplyAccepted, refusal};
    const char reply = PollReply(std::string_view(replyStarts, std::size(replyStarts)));
    if (reply == constante::ReplyAccepted) {
        ConsumeReply();
        return true;
    }
    if (reply == refusal && reply != NoReply) {
        ConsumeReply();
        ReportError(message);
    }
    return false;
}

void TGestionnaire::SetDeviceID(std::int32_t id)
{
    DeviceID = id;
    Raise(OnChangeDeviceID);
}

void TGestionnaire::SpeedUp() { Raise(OnSpeedUp); }

bool TGestionnaire::RetryAllowed()
{
    ++RetryCount;
    Raise(OnRetransmission);
    if (RetryCount <= MaxRetries)
        return true;
    ReportError(constante::ErrTooManyRetries);
    return false;
}

void TGestionnaire::Programmed(const std::string& part)
{
    if (OnProgrammed)
        OnProgrammed(*this, part);
}
