// TComPort: one serial device, its line settings, and the bytes it receives.
//
// QSerialPort notifies on the thread of the event loop, so received bytes reach
// ReceiveCallBack there, one call per arrival. Modem-line change events are not
// offered: QSerialPort reads the modem lines only when asked and signals no change
// of them, and the link driver needs none.
#pragma once

#include "SerialOpenFailure.h"

#include <QSerialPort>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

// The one exception type of the link layer; the link driver catches it.
class EComError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum TParity : std::uint8_t { ptNONE, ptODD, ptEVEN, ptMARK, ptSPACE };
enum TStopBit : std::uint8_t { sbONE, sbONE5, snTWO };
enum TReceiveMode : std::uint8_t { rmRAW, rmTERM };

class TComPort {
public:
    using TReceiveProc = std::function<void(const std::string& Data)>;
    using TNotifyEvent = std::function<void(TComPort& Sender)>;

    static constexpr char CannotOpenText[] = "TCOMPORT : cannot open ";
    static constexpr char IllegalTerminatorText[] =
        "Illegal terminator string.\rformat : #<asciicode>#<asciicode>#<...>\rexample: #13#10";
    static constexpr char EmptyTerminatorText[] = "Terminator string cannot be empty!";

    TComPort();
    ~TComPort();
    TComPort(const TComPort&) = delete;
    TComPort& operator=(const TComPort&) = delete;

    // Opens the device named Port with the current line settings, DTR and RTS off
    // and no flow control. Nothing when already open. Raises EComError when the
    // device cannot be opened.
    void Open();
    void Close();
    // Queues the bytes for the device when open; the call does not wait.
    void SendString(std::string_view data);
    bool IsOpened() const { return Opened; }
    // Why the last Open failed; nothing after a successful one.
    const std::optional<TSerialOpenFailure>& LastOpenFailure() const { return OpenFailure; }

    // The name goes to the system unchanged (QSerialPort looks up a bare name in /dev).
    const std::string& GetPort() const { return Port; }
    void SetPort(std::string_view name) { Port = name; }
    std::uint32_t GetBaud() const { return Baud; }
    // Also re-applies DataBits, Parity and StopBits to an open device.
    void SetBaud(std::uint32_t baud);
    // DataBits, Parity and StopBits take effect at the next Open or SetBaud.
    std::uint8_t GetDataBits() const { return DataBits; }
    void SetDataBits(std::uint8_t bits) { DataBits = bits; }
    TParity GetParity() const { return Parity; }
    void SetParity(TParity parity) { Parity = parity; }
    TStopBit GetStopBits() const { return StopBits; }
    void SetStopBits(TStopBit stopBits) { StopBits = stopBits; }
    TReceiveMode GetReceiveMode() const { return ReceiveMode; }
    void SetReceiveMode(TReceiveMode mode) { ReceiveMode = mode; }

    // Text form: "#" and the decimal code of each byte, as in "#13#10".
    std::string GetTerminator() const;
    // Raises EComError on a malformed or empty text; the terminator is CR LF then.
    void SetTerminator(std::string_view text);

    TReceiveProc ReceiveCallBack;
    // The device failed (read or write error, device gone); the port closes after it.
    TNotifyEvent OnError;
    TNotifyEvent OnPortOpen;
    TNotifyEvent OnPortClose;

private:
    void ApplyLineSettings();
    void DataAvailable();
    void DeviceError(QSerialPort::SerialPortError error);
    void Deliver(const std::string& data);
    void Raise(const TNotifyEvent& event);

    std::string Port;
    std::uint32_t Baud = 9600;
    std::uint8_t DataBits = 8;
    TParity Parity = ptNONE;
    TStopBit StopBits = sbONE;
    TReceiveMode ReceiveMode = rmTERM;
    bool Opened = false;
    std::optional<TSerialOpenFailure> OpenFailure;
    std::string Terminator = "\r\n";
    std::string TermBuffer;
    std::unique_ptr<QSerialPort> Serial;
};
