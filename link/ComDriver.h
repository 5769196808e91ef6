// TComDriver: the one object through which the program talks to the card.
//
// It owns the three link endpoints and keeps at most one of them open, the one
// ConType names. Text written goes out unchanged on that link; bytes received from
// it are collected in one receive text, which is either parsed into the card's
// variable replies (MODE_VAR) or handed over raw through OnRecString and ReadRaw
// (MODE_RAW). Everything runs on the thread of the event loop; events are raised
// inside the call or arrival that causes them, and handlers may call back into
// the driver. No operation raises: a link that fails to open stays closed and
// what is written to it is dropped.
#pragma once

#include "ComPort.h"
#include "TcpClient.h"
#include "UdpEndpoint.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

class QTimer;
struct TComDriverFeed;

enum tConnectionType : std::uint8_t { CON_NONE = 0, CON_RS232 = 1, CON_UDP = 2, CON_TCP = 3 };
enum tConnectionMode : std::uint8_t { MODE_VAR = 0, MODE_RAW = 1 };

class TComDriver {
public:
    using TComDriverNotifyEvent = std::function<void(TComDriver& Sender, std::int32_t nro)>;
    using TErrorBox = std::function<void(const std::string& text)>;

    // The card's variable protocol: the command for each variable and the prefix
    // of the reply line that reports it.
    static constexpr std::size_t VarCount = 6;
    static constexpr const char* VarCommands[VarCount] = {"@", ">", "?", "yU", "$", "#"};
    static constexpr const char* VarReplyPrefixes[VarCount] = {"ADBG", "DDBG", "DEV", "UPD", "$", "#"};
    // A refused or lost TCP connection is tried again after this pause. Retrying
    // at once would spin: a refusal on the local network comes back at once.
    static constexpr int TcpRetryPauseMs = 250;
    // In MODE_VAR an unterminated tail is cut down to this many characters.
    static constexpr std::size_t MaxUnterminatedTail = 10;
    // One network read; one datagram holds at most as much.
    static constexpr std::size_t IoBufferSize = TUdpEndpoint::MaxDatagramSize;

    TComDriver();
    ~TComDriver();
    TComDriver(const TComDriver&) = delete;
    TComDriver& operator=(const TComDriver&) = delete;

    // The variable reply grammar, shared by the driver and whoever reads the
    // card's replies without one. TakeVarLine takes the first CR LF line off the
    // front of text; without one, it cuts an unterminated tail down to
    // MaxUnterminatedTail characters and takes nothing.
    static bool TakeVarLine(std::string& text, std::string& line);
    // The table index of the line's prefix and its value; false for a line that
    // no prefix begins, or whose number does not convert (dropped, no event).
    static bool ParseVarReply(std::string_view line, std::size_t& index, std::uint32_t& value);
    // Drops from the front of a reply line the bytes that cannot begin any
    // reply (line noise: a NUL, 0xFF, a glitch); how many.
    static std::size_t DropVarNoise(std::string& line);
    // Bytes of line noise dropped from the front of reply lines since the driver was made.
    std::uint64_t GetNoiseDropped() const { return NoiseDropped; }

    // MODE_VAR only: the command of variable index (0 to 5).
    void SendVarCommand(int index);
    // MODE_VAR only: value in decimal followed by the command of variable index.
    void SendVarValue(int index, std::uint32_t value);
    // MODE_RAW only: data unchanged.
    void SendRaw(std::string_view data);
    // MODE_RAW: the text received so far, which is then forgotten. MODE_VAR: empty,
    // and the received text stays.
    std::string ReadRaw();

    std::int32_t GetTag() const { return Tag; }
    void SetTag(std::int32_t tag) { Tag = tag; }

    const std::string& GetPort() const { return Port; }
    void SetPort(std::string_view port);
    std::uint32_t GetBaudRate() const { return BaudRate; }
    void SetBaudRate(std::uint32_t baudRate);
    tConnectionType GetConType() const { return ConType; }
    void SetConType(tConnectionType conType);
    tConnectionMode GetConMode() const { return ConMode; }
    void SetConMode(tConnectionMode conMode);
    std::int32_t GetIpLocalPort() const { return IpLocalPort; }
    void SetIpLocalPort(std::int32_t port);
    std::int32_t GetIpRemotePort() const { return IpRemotePort; }
    void SetIpRemotePort(std::int32_t port);
    const std::string& GetIpRemoteAddress() const { return IpRemoteAddress; }
    void SetIpRemoteAddress(std::string_view address);

    // Writing one of these only sends the value to the card; the property changes
    // when the card reports it.
    std::uint32_t GetADDRDBG() const { return ADDRDBG; }
    void SetADDRDBG(std::uint32_t value) { SendVarValue(0, value); }
    std::uint32_t GetDATADBG() const { return DATADBG; }
    void SetDATADBG(std::uint32_t value) { SendVarValue(1, value); }
    std::uint32_t GetDEV() const { return DEV; }
    std::uint32_t GetUPDATER() const { return UPDATER; }
    void SetUPDATER(std::uint32_t value) { SendVarValue(3, value); }
    // The card reports no value for these.
    std::uint32_t GetDOLLARS() const { return DOLLARS; }
    bool GetDIESE() const { return DIESE; }
    bool Getqueryall() const { return queryall; }

    const std::string& GetreceivedString() const { return receivedString; }
    void SetreceivedString(std::string_view text) { receivedString = text; }
    const std::string& GetsentString() const { return sentString; }
    void SetsentString(std::string_view text) { sentString = text; }

    // The result of the last attempt to open a link, by a setter or a TCP
    // reconnection; the setters themselves never report a failure.
    bool LastOpenSucceeded() const { return OpenResult; }
    const TComPort& GetComPort() const { return *ComPort; }
    const TUdpEndpoint& GetUdpEndpoint() const { return *Udp; }
    const TTcpClient& GetTcpClient() const { return *Tcp; }

    TComDriverNotifyEvent OnADDRDBGchange;
    TComDriverNotifyEvent OnDATADBGchange;
    TComDriverNotifyEvent OnDEVchange;
    TComDriverNotifyEvent OnDOLLARSchange;
    // Never raised: the card sends no reply that sets DIESE.
    TComDriverNotifyEvent OnSetDIESEchange;
    TComDriverNotifyEvent OnUPDATERchange;
    TComDriverNotifyEvent OnQUERYALLchange;
    TComDriverNotifyEvent OnRecString;
    TComDriverNotifyEvent OnSentString;
    TComDriverNotifyEvent OnConTypechange;
    TComDriverNotifyEvent OnConModechange;
    TComDriverNotifyEvent OnIpLocalPortchange;
    TComDriverNotifyEvent OnIpRemotePortchange;
    TComDriverNotifyEvent OnIpRemoteAddresschange;

    // Shows the reason a UDP send failed (the application shows it in an error box);
    // by default the text goes to stderr.
    TErrorBox ShowSocketError;

private:
    // Tests and fuzzers hand bytes to the receive path as an endpoint would,
    // without a device, a socket or an event loop.
    friend struct TComDriverFeed;

    void WriteLink(std::string_view text);
    void WriteUdp(std::string_view text);
    void WriteTcp(std::string_view text);

    void ComPortReceive(const std::string& data);
    void UdpRead(std::string_view data, const std::string& senderAddress, std::uint16_t senderPort);
    void TcpRead();
    void Received();
    void ParseVarReplies();
    void AcceptReply(std::size_t index, const std::string& line, std::uint32_t value);

    bool OpenSerial();
    void CloseSerial();
    bool OpenUdp();
    void CloseUdp();
    bool OpenTcp();
    void CloseTcp();
    void TcpConnect();
    void TcpError();
    void TcpRetry();

    void Raise(const TComDriverNotifyEvent& event);

    std::string RxText;
    std::uint64_t NoiseDropped = 0;
    std::array<char, IoBufferSize> IoBuffer{};
    bool TcpConnecting = false;
    std::unique_ptr<TComPort> ComPort;
    std::string Port;
    std::uint32_t BaudRate = 9600;
    std::unique_ptr<TUdpEndpoint> Udp;
    std::unique_ptr<TTcpClient> Tcp;
    std::unique_ptr<QTimer> TcpRetryTimer;
    tConnectionType ConType = CON_NONE;
    tConnectionMode ConMode = MODE_VAR;
    std::int32_t IpLocalPort = 10000;
    std::int32_t IpRemotePort = 10500;
    std::string IpRemoteAddress;
    std::uint32_t ADDRDBG = 0;
    std::uint32_t DATADBG = 0;
    std::uint32_t DEV = 0;
    std::uint32_t UPDATER = 0;
    const std::uint32_t DOLLARS = 0;
    const bool DIESE = false;
    const bool queryall = false;
    std::string receivedString;
    std::string sentString;
    std::int32_t Tag = 0;
    bool OpenResult = true;
};
