#include "ComDriver.h"

#include "constante.h"
#include "textutil.h"

#include <QTimer>

#include <algorithm>
#include <iterator>
#include <iostream>

TComDriver::TComDriver()
    : ShowSocketError([](const std::string& text) { std::cerr << text << std::endl; }),
      ComPort(std::make_unique<TComPort>()),
      Udp(std::make_unique<TUdpEndpoint>()),
      Tcp(std::make_unique<TTcpClient>()),
      IpRemoteAddress(constante::DefaultRemoteIp)
{
    ComPort->SetReceiveMode(rmRAW);
    ComPort->ReceiveCallBack = [this](const std::string& data) { ComPortReceive(data); };
    ComPort->SetBaud(BaudRate);
    ComPort->SetPort(Port);
    Udp->SetLocalPort(IpLocalPort);
    Udp->OnRead = [this](std::string_view data, const std::string& address, std::uint16_t port) {
        UdpRead(data, address, port);
    };
    Tcp->SetAddress(IpRemoteAddress);
    Tcp->SetPort(IpRemotePort);
    Tcp->OnRead = [this] { TcpRead(); };
    Tcp->OnError = [this] { TcpError(); };
    Tcp->OnConnect = [this] { TcpConnect(); };
    TcpRetryTimer = std::make_unique<QTimer>();
    TcpRetryTimer->setSingleShot(true);
    TcpRetryTimer->setInterval(TcpRetryPauseMs);
    QObject::connect(TcpRetryTimer.get(), &QTimer::timeout, TcpRetryTimer.get(), [this] { TcpRetry(); });
}

TComDriver::~TComDriver()
{
    CloseSerial();
    CloseUdp();
    CloseTcp();
}

// ---- Commands -------------------------------------------------------------------------

void TComDriver::SendVarCommand(int index)
{
    if (ConMode != MODE_VAR || index < 0 || index >= static_cast<int>(VarCount))
        return;
    const std::string text = VarCommands[index];
    WriteLink(text);
    sentString = text;
    Raise(OnSentString);
}

void TComDriver::SendVarValue(int index, std::uint32_t value)
{
    if (ConMode != MODE_VAR || index < 0 || index >= static_cast<int>(VarCount))
        return;
    const std::string text = std::to_string(value) + VarCommands[index];
    WriteLink(text);
    sentString = text;
    Raise(OnSentString);
}

void TComDriver::SendRaw(std::string_view data)
{
    if (ConMode == MODE_RAW)
        WriteLink(data);
}

std::string TComDriver::ReadRaw()
{
    if (ConMode != MODE_RAW)
        return {};
    std::string data;
    data.swap(RxText);
    return data;
}

void TComDriver::WriteLink(std::string_view text)
{
    switch (ConType) {
    case CON_NONE:
        break;
    case CON_RS232:
        ComPort->SendString(text);
        break;
    case CON_UDP:
        WriteUdp(text);
        break;
    case CON_TCP:
        WriteTcp(text);
        break;
    }
}

void TComDriver::WriteUdp(std::string_view text)
{
    if (!Udp->IsActive())
        return;
    std::string error;
    if (Udp->Send(text, IpRemoteAddress, IpRemotePort, error))
        return;
    CloseUdp();
    if (ShowSocketError)
        ShowSocketError(error);
}

// A text longer than one network read goes out whole, in pieces of that size.
void TComDriver::WriteTcp(std::string_view text)
{
    if (!Tcp->IsConnected())
        return;
    for (std::size_t at = 0; at < text.size(); at += IoBufferSize)
        Tcp->Send(text.substr(at, IoBufferSize));
}

// ---- Receiving ------------------------------------------------------------------------

void TComDriver::ComPortReceive(const std::string& data)
{
    if (ConType != CON_RS232)
        return;
    RxText += data;
    Received();
}

void TComDriver::UdpRead(std::string_view data, const std::string& senderAddress, std::uint16_t senderPort)
{
    // Only the card's own address text and port count; any other sender is ignored.
    if (ConType != CON_UDP || senderAddress != IpRemoteAddress || senderPort != IpRemotePort)
        return;
    // Every byte counts, a zero byte too: line noise in front of a reply must
    // not cost the reply behind it.
    RxText.append(data.substr(0, IoBufferSize));
    Received();
}

// One read per notification: data left waiting brings the next one, after the
// event loop has turned (reading on here could keep the loop from turning for
// as long as the card answers faster than the reads come).
void TComDriver::TcpRead()
{
    if (ConType != CON_TCP)
        return;
    const std::int64_t count = Tcp->Receive(IoBuffer.data(), static_cast<std::int64_t>(IoBuffer.size()));
    if (count <= 0)
        return;
    RxText.append(IoBuffer.data(), static_cast<std::size_t>(count));
    Received();
}

void TComDriver::Received()
{
    if (ConMode == MODE_VAR)
        ParseVarReplies();
    else
        Raise(OnRecString);
}

bool TComDriver::TakeVarLine(std::string& text, std::string& line)
{
    const std::size_t end = text.find(constante::LineEnd);
    if (end == std::string::npos) {
        if (text.size() > MaxUnterminatedTail)
            text.erase(0, text.size() - MaxUnterminatedTail);
        return false;
    }
    line = text.substr(0, end);
    text.erase(0, end + std::string_view(constante::LineEnd).size());
    return true;
}

std::size_t TComDriver::DropVarNoise(std::string& line)
{
    std::size_t noise = 0;
    while (noise < line.size() &&
           std::none_of(std::begin(VarReplyPrefixes), std::end(VarReplyPrefixes),
                        [&](const char* prefix) { return prefix[0] == line[noise]; }))
        ++noise;
    line.erase(0, noise);
    return noise;
}

bool TComDriver::ParseVarReply(std::string_view line, std::size_t& index, std::uint32_t& value)
{
    for (index = 0; index < VarCount; ++index) {
        if (!StartsWith(line, VarReplyPrefixes[index]))
            continue;
        // No prefix begins another, so the first match is the only one.
        const std::string_view rest = line.substr(std::string_view(VarReplyPrefixes[index]).size());
        std::int64_t number = 0;
        if (!rest.empty() && !StrToInt64(rest, number))
            return false;
        value = static_cast<std::uint32_t>(number);
        return true;
    }
    return false;
}

void TComDriver::ParseVarReplies()
{
    std::string line;
    // Noise goes as it comes, also while the reply behind it is still on its way.
    NoiseDropped += DropVarNoise(RxText);
    while (TakeVarLine(RxText, line)) {
        std::size_t index = 0;
        std::uint32_t value = 0;
        if (ParseVarReply(line, index, value))
            AcceptReply(index, line, value);
        NoiseDropped += DropVarNoise(RxText);
    }
}

// OnRecString comes before the value is stored: its handler still sees the old one.
void TComDriver::AcceptReply(std::size_t index, const std::string& line, std::uint32_t value)
{
    receivedString = line;
    Raise(OnRecString);
    switch (index) {
    case 0:
        ADDRDBG = value;
        Raise(OnADDRDBGchange);
        break;
    case 1:
        DATADBG = value;
        Raise(OnDATADBGchange);
        break;
    case 2:
        DEV = value;
        Raise(OnDEVchange);
        break;
    case 3:
        UPDATER = value;
        Raise(OnUPDATERchange);
        break;
    case 4:
        Raise(OnDOLLARSchange);
        break;
    case 5:
        Raise(OnQUERYALLchange);
        break;
    }
}

// ---- Properties -----------------------------------------------------------------------

void TComDriver::SetPort(std::string_view port)
{
    if (ComPort->IsOpened())
        CloseSerial();
    Port = port;
    ComPort->SetPort(Port);
    if (ConType == CON_RS232)
        OpenResult = OpenSerial();
}

void TComDriver::SetBaudRate(std::uint32_t baudRate)
{
    if (ComPort->IsOpened())
        CloseSerial();
    BaudRate = baudRate;
    ComPort->SetBaud(BaudRate);
    if (ConType == CON_RS232)
        OpenResult = OpenSerial();
}

void TComDriver::SetConType(tConnectionType conType)
{
    if (conType != ConType) {
        switch (ConType) {
        case CON_NONE:
            break;
        case CON_RS232:
            CloseSerial();
            break;
        case CON_UDP:
            CloseUdp();
            break;
        case CON_TCP:
            CloseTcp();
            break;
        }
        ConType = conType;
        switch (ConType) {
        case CON_NONE:
            CloseSerial();
            CloseUdp();
            CloseTcp();
            break;
        case CON_RS232:
            OpenResult = OpenSerial();
            break;
        case CON_UDP:
            OpenResult = OpenUdp();
            break;
        case CON_TCP:
            OpenResult = OpenTcp();
            break;
        }
    }
    Raise(OnConTypechange);
}

void TComDriver::SetConMode(tConnectionMode conMode)
{
    ConMode = conMode;
    Raise(OnConModechange);
}

void TComDriver::SetIpLocalPort(std::int32_t port)
{
    // The two network links are never open together, so in practice the port is
    // applied on every assignment, also an unchanged one.
    if (!(port == IpLocalPort && Udp->IsActive() && Tcp->IsConnected())) {
        if (ConType == CON_UDP)
            CloseUdp();
        Udp->SetLocalPort(port);
        if (ConType == CON_UDP)
            OpenResult = OpenUdp();
    }
    IpLocalPort = port;
    Raise(OnIpLocalPortchange);
}

void TComDriver::SetIpRemotePort(std::int32_t port)
{
    if (port != IpRemotePort) {
        if (ConType == CON_UDP) {
            CloseUdp();
            OpenResult = OpenUdp();
        }
        if (ConType == CON_TCP)
            CloseTcp();
        Tcp->SetPort(port);
        if (ConType == CON_TCP)
            OpenResult = OpenTcp();
    }
    IpRemotePort = port;
    Raise(OnIpRemotePortchange);
}

void TComDriver::SetIpRemoteAddress(std::string_view address)
{
    if (address != IpRemoteAddress) {
        if (ConType == CON_UDP) {
            CloseUdp();
            OpenResult = OpenUdp();
        }
        if (ConType == CON_TCP)
            CloseTcp();
        Tcp->SetAddress(address);
        if (ConType == CON_TCP)
            OpenResult = OpenTcp();
    }
    IpRemoteAddress = address;
    Raise(OnIpRemoteAddresschange);
}

// ---- Opening and closing the links --------------------------------------------------------

bool TComDriver::OpenSerial()
{
    if (ComPort->GetPort().empty())
        return true;
    try {
        ComPort->Open();
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

void TComDriver::CloseSerial() { ComPort->Close(); }

bool TComDriver::OpenUdp() { return Udp->IsActive() || Udp->Activate(); }

void TComDriver::CloseUdp()
{
    if (Udp->IsActive())
        Udp->Deactivate();
}

bool TComDriver::OpenTcp()
{
    if (Tcp->IsConnected() || TcpConnecting)
        return true;
    TcpConnecting = true;
    if (Tcp->Open())
        return true;
    Tcp->Close();
    return false;
}

void TComDriver::CloseTcp()
{
    TcpRetryTimer->stop();
    TcpConnecting = false;
    Tcp->Close();
}

void TComDriver::TcpConnect() { TcpConnecting = false; }

// Refused, unreachable or lost: a new attempt starts after a short pause and
// silently, for as long as TCP is the chosen link.
void TComDriver::TcpError()
{
    CloseTcp();
    if (ConType == CON_TCP)
        TcpRetryTimer->start();
}

void TComDriver::TcpRetry()
{
    if (ConType == CON_TCP)
        OpenResult = OpenTcp();
}

void TComDriver::Raise(const TComDriverNotifyEvent& event)
{
    if (!event)
        return;
    const TComDriverNotifyEvent handler = event;
    handler(*this, Tag);
}
