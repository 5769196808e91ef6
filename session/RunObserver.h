// TRunObserver: what a run's record needs to know, told by the session as it
// happens. Every call has an empty default, so an observer takes only what it
// records. The session calls it from inside its steps: an observer may add a
// status line, but never starts or stops a run.
#pragma once

#include "InstCourante.h"
#include "SkipReason.h"
#include "UpdateSession.h"

#include <cstdint>
#include <string>

class TRunObserver {
public:
    virtual ~TRunObserver() = default;

    // The run has begun: its script is about to be loaded.
    virtual void RunStarted() {}
    // A status line, as the views receive it.
    virtual void StatusLine(const std::string&) {}
    // The card answered the device query of the probe with its type.
    virtual void DeviceType(std::uint32_t) {}
    // The boot loader's checksum, as the status line shows it.
    virtual void BootChecksum(std::uint16_t) {}
    virtual void DeviceId(std::int32_t) {}
    // An operation line is offered to the engines. script: the script file, or
    // empty for the lines the session runs by itself (lineNumber 0).
    virtual void LineStarted(const std::string& /*script*/, std::int32_t /*lineNumber*/, const std::string& /*line*/) {}
    // A text left for the card while the line runs.
    virtual void SentToCard(const std::string& /*text*/) {}
    // The card asked for a text again while the line runs.
    virtual void RetransmissionAsked() {}
    // The engine that took the line is idle again. An engine error may follow at once.
    virtual void LineEngineIdle() {}
    // The engine that took the line stopped on this error.
    virtual void LineFailed(const std::string&) {}
    // The card's reply to a "T" line: the version it holds.
    virtual void VersionRead(const TCardText&) {}
    // The card took a version ("V", "UV") or its option code ("OP").
    virtual void TextWritten(const TCardText&) {}
    // The card took and verified a part of the update ("bank 3", "boot", "PROM prom1.svf").
    virtual void Programmed(const std::string& /*part*/) {}
    // component: the script's name for it ("3", "C0", "MB"...).
    virtual void ComponentSkipped(const std::string& /*component*/, TSkipReason) {}
    // message: the error (failed) or the last status line; script: the script
    // that was running when it failed. Called before the views hear of the end.
    virtual void RunEnded(TUpdateSession::TRunResult, const std::string& /*message*/, const std::string& /*script*/) {}
};
