// Benches for the window tests: an application folder with the updater's
// windows over it (boxes, dialogs and status lines recorded instead of shown),
// a simulated card on the test's own event loop, and small update bundles whose
// images the card's memory is compared with after a run.
#pragma once

#include "CardLink.h"
#include "EventLoopWait.h"
#include "SimulatedCard.h"
#include "TempDir.h"
#include "UpdaterWindows.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class AppBench {
public:
    AppBench() = default;

    // Creates the windows over the folder; write the files that start-up looks at first.
    void Open(const std::string& scriptArgument = {});
    TMainFich& Window() { return Windows->MainFich; }
    TIPConfigDlg& LanDialog() { return Windows->IPConfigDlg; }
    // Presses START (or Read Id) with an immediate first tick and runs the event
    // loop until the run has ended; false when it did not end in time.
    bool Run(bool readId = false, int timeoutMs = 20000);
    // The status lines of the last run, from the one after START on.
    std::vector<std::string> RunLines() const;
    bool HasLine(const std::string& line) const;

    TempDir Dir;
    std::unique_ptr<TUpdaterWindows> Windows;
    std::vector<std::string> Boxes;
    std::vector<std::string> StatusLines;
    std::vector<QDialog*> DialogsShown;
    // What the shown dialog does before it closes; it closes with Rejected.
    std::function<void(QDialog&)> DialogAction;
    std::vector<bool> RunEnds;

private:
    std::size_t RunStart = 0;
};

enum class Transport { Tcp, Udp, Pty };
const char* TransportName(Transport transport);

// A simulated card on 127.0.0.1 or behind a pseudo-terminal.
class CardBench {
public:
    explicit CardBench(Transport transport, CardOptions options = {});
    // The "Updater.prm" lines that lead the updater to this card.
    std::string SettingsText() const;

    Transport Via;
    SimulatedCard Card;
    std::unique_ptr<CardLink> Link;
};

// A complete update: "script.ini" with "CM" and "C0", two PSD banks, an effect
// file that erases, writes and reads back the JTAG device's memory, versions,
// and the boot option file.
struct UpdateBundle {
    std::vector<std::string> Boot;
    std::vector<std::string> Bank0;
    std::vector<std::string> Bank1;
    std::vector<std::uint8_t> JtagMemory;  // the first words of the device memory after the play
};
UpdateBundle WriteUpdateBundle(const TempDir& dir);

// Intel HEX lines of data records (16 bytes each, from base on) and the end record.
std::vector<std::string> HexLines(std::uint16_t base, int records, std::uint8_t seed);
// The bytes of area's window in the image that the lines describe (unwritten: FF).
bool HoldsImage(const SimulatedCard::FlashArea& area, const std::vector<std::string>& lines);
std::string JoinLines(const std::vector<std::string>& lines);
