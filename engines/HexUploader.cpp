#include "HexUploader.h"

#include "HexFileCheck.h"
#include "constante.h"
#include "hex.h"
#include "textutil.h"

#include <algorithm>

using namespace constante;

namespace {

// The card accepts the upload command, then reports the erase done.
constexpr std::size_t EraseAcknowledgements = 2 * AcknowledgementBytes;

std::size_t Sent(std::string_view text) { return text.size() + std::string_view(LineEnd).size(); }

}  // namespace

void THexUploader::ReportError(std::string_view msg)
{
    Lines.clear();
    ClearBusy();
    Halt();
    TGestionnaire::ReportError(msg);
}

void THexUploader::Reset()
{
    Lines.clear();
    TGestionnaire::Reset();
    BackToIdle();
}

bool THexUploader::StartUpload(const std::string& fileName, const std::string& shownName, std::string_view command)
{
    RetryCount = 0;
    switch (LoadNamedLines(*Files, CurentDir, fileName, Lines)) {
    case TFileSource::TOpenResult::Opened: break;
    case TFileSource::TOpenResult::Outside: ReportError(fileName + NameOutsideUpdate); return false;
    default: ReportError(CurentDir + shownName + FileNotFound); return false;
    }
    // The erase, then one acknowledgement per transmission: line 0 goes out twice.
    if (Area.EraseIsAStep)
        SetMaxProgress(static_cast<std::int32_t>(Lines.size()) + 2);
    Send(command);
    return true;
}

bool THexUploader::EraseStarted()
{
    if (!Acknowledged(ReplyUnknown, ErrInstructionUnknown))
        return false;
    Info(Area.EraseInfo);
    return true;
}

bool THexUploader::EraseDone()
{
    switch (PollReply(RepliesAckOrFailed)) {
    case ReplyAccepted:
        ConsumeReply();
        if (Area.EraseIsAStep)
            StepProgress();
        LineIndex = 0;
        if (!Area.EraseIsAStep)
            SetMaxProgress(static_cast<std::int32_t>(Lines.size()) + 1);
        if (Lines.empty()) {
            ReportError(Area.EmptyFile);
            return false;
        }
        Info(Area.UploadInfo);
        SendLine(0);
        return true;
    case ReplyFailed:
        ConsumeReply();
        ReportError(ErrErasing);
        return false;
    default: return false;
    }
}

void THexUploader::SendLine(std::int32_t index)
{
    OutLine.assign(Lines[static_cast<std::size_t>(index)]);
    OutLine += LineEnd;
    Send(OutLine);
}

bool THexUploader::LineAcknowledged()
{
    switch (PollReply(RepliesUpload)) {
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

std::string THexUploader::ChecksumSum(const std::vector<std::string>& lines, const TUploadArea& area,
                                      const std::string& checksumText)
{
    return checksumText.empty() ? WordToHex(HexImageChecksum(lines, area.First, area.Last)) : checksumText;
}

void THexUploader::SendChecksumRecord()
{
    Info(Area.VerifyInfo);
    Send(BuildHexRecord(HexRecordChecksum, ChecksumRecordAddress, ChecksumSum(Lines, Area, ChecksumText)) + LineEnd);
}

THexUploader::Answer THexUploader::ChecksumAnswer()
{
    switch (PollReply(RepliesUpload)) {
    case ReplyAccepted:
        ConsumeReply();
        if (Area.ClearAfterVerify)
            ClearInput();
        Programmed(Area.Part);
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

void THexUploader::FinishUpload()
{
    Lines.clear();
    BackToIdle();
    ClearBusy();
}

void THexUploader::PlanUpload(const TUploadArea& area, const std::string& fileName, const std::string& shownName,
                              const std::string& checksumText, std::size_t commandLength, TOperationPlan& plan) const
{
    const std::string path = CurentDir + fileName;
    std::vector<std::string> lines;
    switch (LoadNamedLines(*Files, CurentDir, fileName, lines)) {
    case TFileSource::TOpenResult::Opened: break;
    case TFileSource::TOpenResult::Outside: plan.RefuseOutside(fileName + NameOutsideUpdate); return;
    default: plan.Refuse(CurentDir + shownName + FileNotFound); return;
    }
    plan.Files.push_back(path);
    plan.Exchange(commandLength, EraseAcknowledgements);
    if (lines.empty()) {
        plan.Refuse(area.EmptyFile);
        return;
    }
    CheckHexFile(path, lines, area.First, area.Last, plan);
    plan.HexLines = lines.size() + 1;
    plan.BytesToCard += Sent(lines.front());
    for (const std::string& line : lines)
        plan.BytesToCard += Sent(line);
    plan.BytesFromCard += plan.HexLines * AcknowledgementBytes;

    if (!checksumText.empty()) {
        const std::string imageSum = ChecksumSum(lines, area, {});
        if (checksumText != imageSum)
            plan.Refuse(FormatText(PlanChecksumDiffers, {checksumText, imageSum}));
    }
    // A sum's four digits take the same room whatever their value.
    ++plan.ChecksumRecords;
    plan.BytesToCard +=
        Sent(BuildHexRecord(HexRecordChecksum, ChecksumRecordAddress, checksumText.empty() ? WordToHex(0) : checksumText));
    plan.BytesFromCard += AcknowledgementBytes;
}
