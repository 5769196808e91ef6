// TGestionnaire: the mailbox between a programming engine and its host.
//
// An engine never touches the link or the window. It puts a command into
// OutBuffer and raises OnSend; it pulls received text with PollInput (the host
// answers OnReceive by filling InBuffer) and hands back what it did not use with
// ConsumeInput/ClearInput (the host answers OnChangeBufIn by taking InBuffer
// back). Together the two events make the host's receive text and InBuffer one
// buffer. Every event fires only when a handler is assigned; the fields change
// in any case.
#pragma once

#include "FileSource.h"
#include "OperationPlan.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class TGestionnaire {
public:
    using TNotifyEvent = std::function<void(TGestionnaire& Sender)>;
    // What a poll finds when nothing has arrived.
    static constexpr char NoReply = '\0';

    TGestionnaire() = default;
    virtual ~TGestionnaire() = default;
    TGestionnaire(const TGestionnaire&) = delete;
    TGestionnaire& operator=(const TGestionnaire&) = delete;

    // Stores the message and raises OnError. Engines override it to halt first.
    virtual void ReportError(std::string_view msg);
    // Back to the idle defaults, without raising any event. CurentDir and the
    // handlers are kept.
    virtual void Reset();
    // Whether the engine takes the line, by the same test its Step makes; when
    // it does, plan gets what the line will do (the card taken as identified,
    // the files read from CurentDir through the file source). The base takes none.
    virtual bool PlanLine(std::string_view line, TOperationPlan& plan) const;
    // The operation under way waits for its clock, not for the card.
    virtual bool IsPausing() const { return false; }

    // ---- Host side: none of these raises an event.
    void SetCommandLine(std::string_view s) { CommandLine = s; }
    const std::string& GetCommandLine() const { return CommandLine; }
    void SetInBuffer(std::string_view s) { InBuffer = s; }
    const std::string& GetInBuffer() const { return InBuffer; }
    const std::string& GetOutBuffer() const { return OutBuffer; }
    const std::string& GetInfoText() const { return InfoText; }
    const std::string& GetErrorText() const { return ErrorText; }
    std::int32_t GetMaxProgress() const { return MaxProgress; }
    bool IsBusy() const { return Busy; }
    std::int32_t GetDeviceID() const { return DeviceID; }
    void SetUpdateAllowed(bool allowed) { UpdateAllowed = allowed; }
    bool IsUpdateAllowed() const { return UpdateAllowed; }
    std::int32_t GetRetryCount() const { return RetryCount; }
    // Bytes of line noise the waits dropped since Reset, and in the last drop.
    std::uint64_t GetNoiseDropped() const { return NoiseDropped; }
    std::size_t GetLastNoise() const { return LastNoise; }
    // Folder of the data files named in operation lines; ends with "/".
    const std::string& GetCurentDir() const { return CurentDir; }
    void SetCurentDir(std::string_view dir) { CurentDir = dir; }
    // Where the files named in operation lines are read: the disk unless set.
    // The source must outlive the engine; Reset keeps it.
    void SetFileSource(const TFileSource& files) { Files = &files; }
    const TFileSource& GetFileSource() const { return *Files; }

    TNotifyEvent OnSend;
    TNotifyEvent OnChangeBufIn;
    TNotifyEvent OnReceive;
    TNotifyEvent OnStepProgress;
    TNotifyEvent OnChangeMaxProgress;
    TNotifyEvent OnInfo;
    TNotifyEvent OnError;
    TNotifyEvent OnChangeBusy;
    TNotifyEvent OnChangeDeviceID;
    TNotifyEvent OnSpeedUp;
    TNotifyEvent OnSpeedDown;
    TNotifyEvent OnOptionChange;
    // The card asked for a text again (GetRetryCount: the operation's count so far).
    TNotifyEvent OnRetransmission;
    // A wait dropped bytes of line noise (GetLastNoise) from the front of
    // InBuffer: the host takes InBuffer back as for OnChangeBufIn, but no reply
    // was taken.
    TNotifyEvent OnNoise;
    // The card took and verified a part of the update: "bank 3", "boot", "PROM prom1.svf".
    std::function<void(TGestionnaire& Sender, const std::string& part)> OnProgrammed;

protected:
    // ---- Engine side, used inside Step.
    void SetBusy();
    void ClearBusy();
    void Info(std::string_view msg);
    void SetMaxProgress(std::int32_t n);
    void StepProgress();
    void Send(std::string_view cmd);
    void PollInput();
    // Removes the first s.size() characters of InBuffer, whatever they are.
    void ConsumeInput(std::string_view s);
    void ClearInput();
    // Every wait drops, before it looks at InBuffer, the bytes at its front that
    // cannot begin a reply it accepts: a real line puts stray bytes (a NUL, 0xFF,
    // a glitch) in front of replies, and a wait that never moved past them would
    // never see the reply behind. PollInput first.
    void DropNoise(std::string_view replyStarts);
    // The same on what InBuffer holds, without polling.
    void DropNoiseAtFront(std::string_view replyStarts);
    // The same for a reply that carries text, PollInput first: the text and its
    // "." are printable throughout, so every other byte is noise wherever it
    // stands, also between two pieces of a reply that arrived apart.
    void DropNoiseInText();
    // Drops every byte of InBuffer that no reply of the wait can hold, wherever
    // it stands, without polling: for a reply of several bytes made only of replyBytes.
    void DropNoiseInside(std::string_view replyBytes);
    // Drops count bytes of line noise from the front of InBuffer.
    void DropNoiseBytes(std::size_t count);
    // DropNoise, then the character at the front of InBuffer; NoReply when nothing is left.
    char PollReply(std::string_view replyStarts);
    // Consumes the character at the front of InBuffer.
    void ConsumeReply();
    // One poll for the card's "."; true when it came and was consumed. The
    // refusal letter, when it comes instead, is consumed and reported with the message.
    bool Acknowledged(char refusal, std::string_view message);
    void SetDeviceID(std::int32_t id);
    void Programmed(const std::string& part);
    void SpeedUp();
    // Counts one retransmission the card asked for; false, after reporting
    // "Too Many Transmission Error !!!", once the operation has had too many.
    bool RetryAllowed();

    std::string CommandLine;
    std::string InBuffer;
    std::string OutBuffer;
    std::string ErrorText;
    std::string InfoText;
    std::int32_t MaxProgress = DefaultMaxProgress;
    std::int32_t DeviceID = 0;
    bool UpdateAllowed = false;
    std::int32_t RetryCount = 0;
    std::uint64_t NoiseDropped = 0;
    std::size_t LastNoise = 0;
    bool Busy = false;
    std::string CurentDir;
    const TFileSource* Files = &DiskFiles();

    static constexpr std::int32_t DefaultMaxProgress = 100;
    // Retransmissions one operation tolerates; the next request ends it.
    static constexpr std::int32_t MaxRetries = 300;

private:
    void Raise(const TNotifyEvent& event);
    template <class IsNoise>
    void DropNoiseWhere(IsNoise isNoise);
    void CountNoise(std::size_t count);
};
