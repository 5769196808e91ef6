// The card behind a pseudo-terminal: the PC opens the slave device as its
// serial port. The card keeps the slave open itself, so the PC may close and
// reopen it (at another baud rate) without the terminal going away.
#pragma once

#include "CardLink.h"
#include "WirePacer.h"

#include <QSocketNotifier>

#include <memory>
#include <string>

class PtyLink : public CardLink {
public:
    PtyLink(SimulatedCard& card, bool pacing);
    ~PtyLink() override;
    bool Start(std::string& error) override;
    std::string Address() const override { return SlavePath; }

    // The baud rate the PC has set on its side of the terminal.
    std::uint32_t CurrentBaud() const;

protected:
    void ToPc(const std::string& bytes) override;
    std::uint32_t LineBaud() const override { return CurrentBaud(); }

private:
    void Read();
    void Write(const std::string& bytes);
    void Flush();

    bool Pacing;
    int Master = -1;
    int Slave = -1;
    std::string SlavePath;
    std::string Unwritten;
    std::unique_ptr<QSocketNotifier> ReadNotifier;
    std::unique_ptr<QSocketNotifier> WriteNotifier;
    std::unique_ptr<WirePacer> Pacer;
};
