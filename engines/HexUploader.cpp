#include "HexUploader.h"

#include "constante.h"

#include <algorithm>

using namespace constante;

char THexUploader::PollReply()
{
    PollInput();
    return InBuffer.empty() ? '\0' : InBuffer.front();
}

void THexUploader::ConsumeReply() { ConsumeInput(InBuffer.substr(0, 1)); }

bool THexUploader::RetryAllowed()
{
    if (CountRetransmission() <= MaxRetries)
        return true;
    ReportError(ErrTooManyRetries);
    return false;
}

void THexUploader::SendLine(std::int32_t index) { Send(Lines[static_cast<std::size_t>(index)] + LineEnd); }

bool THexUploader::LineAcknowledged()
{
    switch (PollReply()) {
    case ReplyAccepted:
        ConsumeReply();
        StepProgress();
        if (LineIndex >= static_cast<std::int32_t>(Lines.size()))
            return true;
        SendLine(LineIndex);
        ++LineIndex;
        return false;
    case ReplyFailed:
        ConsumeReply();
        ReportError(ErrWriting);
        return false;
    case ReplyRepeat:
        ConsumeReply();
        if (RetryAllowed())
            SendLine(std::max(LineIndex - 1, 0));
        return false;
    default: return false;
    }
}

THexUploader::Answer THexUploader::ChecksumAnswer()
{
    switch (PollReply()) {
    case ReplyAccepted:
        ConsumeReply();
        return Answer::Accepted;
    case ReplyFailed:
        ConsumeReply();
        ReportError(ErrChecksum);
        return Answer::Waiting;
    case ReplyRepeat:
        ConsumeReply();
        return RetryAllowed() ? Answer::SendAgain : Answer::Waiting;
    default: return Answer::Waiting;
    }
}
