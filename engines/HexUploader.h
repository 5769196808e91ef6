// THexUploader: what the boot-loader and PSD bank engines share, an Intel HEX
// file erased into, uploaded and verified on the card.
//
// The card accepts the upload command ("."), then reports the erase done
// ("."); the file then goes line by line, each line waiting for its
// acknowledgement, line 0 twice as the card expects. A damaged line ("R") is
// sent again, within one budget of retransmissions for the whole operation,
// checksum record included. Last, a checksum record has the card verify the
// area the upload programs.
//
// Each engine keeps its own states; it calls the step that matches its state
// and goes on when the step says so. Both halt and go idle the same way.
#pragma once

#include "gestionnaire.h"

#include <cstdint>
#include <string>
#include <vector>

class THexUploader : public TGestionnaire {
public:
    // Empties the file, clears Busy and halts before the error is reported.
    void ReportError(std::string_view msg) final;
    void Reset() final;

    // The engine's states for the steps of an upload, and for its end.
    template <class State>
    struct TUploadStates {
        State EraseStart;     // the card is to accept the upload command
        State EraseEnd;       // the card is to report the erase done
        State Lines;          // the file goes line by line
        State SendChecksum;   // the checksum record goes
        State AwaitChecksum;  // the card is to accept the sum
        State Done;           // the operation is over: the file goes, Busy is cleared
    };

protected:
    // What tells one upload from another.
    struct TUploadArea {
        // Status texts of the erase, the upload and the verification.
        std::string EraseInfo;
        std::string UploadInfo;
        std::string VerifyInfo;
        // The file has no lines (found only after the erase).
        const char* EmptyFile = nullptr;
        // The image bytes the card sums to verify the upload.
        std::uint16_t First = 0;
        std::uint16_t Last = 0;
        // The boot loader counts its erase as a progress step; the banks do not.
        bool EraseIsAStep = false;
        // The bank engine drops whatever else came with the last acknowledgement.
        bool ClearAfterVerify = false;
        // What the card holds once the checksum is accepted ("bank 3", "boot").
        std::string Part;
    };

    // The engine's own halt and idle states.
    virtual void Halt() = 0;
    virtual void BackToIdle() = 0;

    // Loads the file and sends the upload command; false after reporting a file
    // that cannot be read ("CurentDir" + shownName + " File not found !!!").
    bool StartUpload(const std::string& fileName, const std::string& shownName, std::string_view command);
    // Runs the step of the engine's state and moves the state on when the step
    // is done (an error halts the engine instead); false when the state is none
    // of the upload's.
    template <class State>
    bool UploadStep(State& state, const TUploadStates<State>& states);

    // What an upload of the file fileName does after its command, with the
    // problems the card would meet in its records.
    void PlanUpload(const TUploadArea& area, const std::string& fileName, const std::string& shownName,
                    const std::string& checksumText, std::size_t commandLength, TOperationPlan& plan) const;

    TUploadArea Area;
    // The sum the checksum record carries; empty: the sum of the image's area.
    std::string ChecksumText;
    std::vector<std::string> Lines;
    std::int32_t LineIndex = 0;
    // The line being sent with its line end; kept to spare an allocation per line.
    std::string OutLine;

private:
    enum class Answer { Waiting, Accepted, SendAgain };

    // The card accepted the command; "I" instead ends the operation.
    bool EraseStarted();
    // The erase is done and line 0 has gone; "X" instead, or an empty file, ends the operation.
    bool EraseDone();
    // The card's answer to the line sent last: on "." the next line goes out;
    // true once the last line is acknowledged.
    bool LineAcknowledged();
    // The record is built and sent afresh for every request.
    void SendChecksumRecord();
    // The card's answer to the checksum record. A failure or one retransmission
    // too many ends the operation and leaves the answer Waiting.
    Answer ChecksumAnswer();
    void FinishUpload();
    void SendLine(std::int32_t index);
    // The sum the record carries: the one given, or the image's over the area.
    static std::string ChecksumSum(const std::vector<std::string>& lines, const TUploadArea& area,
                                   const std::string& checksumText);
};

template <class State>
bool THexUploader::UploadStep(State& state, const TUploadStates<State>& states)
{
    if (state == states.EraseStart) {
        if (EraseStarted())
            state = states.EraseEnd;
    } else if (state == states.EraseEnd) {
        if (EraseDone())
            state = states.Lines;
    } else if (state == states.Lines) {
        if (LineAcknowledged())
            state = states.SendChecksum;
    } else if (state == states.SendChecksum) {
        SendChecksumRecord();
        state = states.AwaitChecksum;
    } else if (state == states.AwaitChecksum) {
        const Answer answer = ChecksumAnswer();
        if (answer == Answer::Accepted)
            state = states.Done;
        else if (answer == Answer::SendAgain)
            state = states.SendChecksum;  // the record is built and sent again
    } else if (state == states.Done) {
        FinishUpload();
    } else {
        return false;
    }
    return true;
}
