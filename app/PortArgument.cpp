#include "PortArgument.h"

#include "SerialDevice.h"
#include "SettingsFile.h"
#include "constante.h"
#include "ipconfig.h"
#include "textutil.h"

#include <array>

namespace {

constexpr char TcpScheme[] = "tcp://";
constexpr char UdpScheme[] = "udp://";
constexpr char LocalPortQuery[] = "?local=";
constexpr char DevicePathStart = '/';
constexpr std::int32_t MaxPort = 65535;

bool ParsePortNumber(std::string_view text, std::int32_t& port)
{
    // Digits only: the standard conversion would also take blanks, signs and "$".
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos)
        return false;
    return StrToInt32(text, port) && port <= MaxPort;
}

// HOST:PORT[?local=N] after the scheme.
bool ParseNetworkLink(std::string_view rest, bool udp, std::int32_t defaultLocalPort, TLinkSettings& link)
{
    link.ConType = udp ? CON_UDP : CON_TCP;
    link.LocalPort = defaultLocalPort;
    if (const std::size_t query = rest.find('?'); query != std::string_view::npos) {
        if (!udp || !StartsWith(rest.substr(query), LocalPortQuery) ||
            !ParsePortNumber(rest.substr(query + std::size(LocalPortQuery) - 1), link.LocalPort))
            return false;
        rest = rest.substr(0, query);
    }
    const std::size_t colon = rest.rfind(':');
    if (colon == std::string_view::npos || !ParsePortNumber(rest.substr(colon + 1), link.RemotePort))
        return false;
    link.RemoteAddress = rest.substr(0, colon);
    std::array<std::uint8_t, 4> octets{};
    return TIPConfigDlg::CheckIPAddress(link.RemoteAddress, octets);
}

// What tells one card from another: the serial device, or the address and port.
std::string CardIdentity(const TLinkSettings& link)
{
    if (!link.IsLan())
        return link.SerialDevice;
    std::array<std::uint8_t, 4> octets{};
    TIPConfigDlg::CheckIPAddress(link.RemoteAddress, octets);
    std::string identity;
    for (const std::uint8_t octet : octets)
        identity += std::to_string(octet) + '.';
    return identity + std::to_string(link.RemotePort);
}

}  // namespace

bool ParsePortArgument(const std::string& text, const TSettingsList& settings, std::int32_t defaultLocalPort,
                       TPortArgument& port, std::string& error)
{
    port = {};
    port.Text = text;
    TLinkSettings& link = port.Link;
    bool parsed = false;
    if (StartsWith(text, TcpScheme)) {
        parsed = ParseNetworkLink(std::string_view(text).substr(std::size(TcpScheme) - 1), false, defaultLocalPort, link);
    } else if (StartsWith(text, UdpScheme)) {
        parsed = ParseNetworkLink(std::string_view(text).substr(std::size(UdpScheme) - 1), true, defaultLocalPort, link);
    } else if (!text.empty() && text[0] == DevicePathStart) {
        link.ComPort = text;
        link.SerialDevice = text;
        parsed = true;
    } else {
        for (int number = 1; number <= TSettingsFile::ComPortCount && !parsed; ++number)
            if (text == TSettingsFile::ComPortName(number)) {
                link.ComPort = text;
                link.SerialDevice = SerialDeviceFor(text, settings);
                parsed = true;
            }
    }
    if (!parsed)
        error = FormatText(constante::UsageBadPort, text);
    return parsed;
}

std::string PortConflict(const std::vector<TPortArgument>& ports)
{
    for (std::size_t first = 0; first < ports.size(); ++first)
        for (std::size_t second = first + 1; second < ports.size(); ++second) {
            const TLinkSettings& one = ports[first].Link;
            const TLinkSettings& other = ports[second].Link;
            if (one.IsLan() == other.IsLan() && CardIdentity(one) == CardIdentity(other))
                return FormatText(constante::UsagePortTwice, ports[first].Text + ", " + ports[second].Text);
            // Local port 0 is any free port: those never meet.
            if (one.ConType == CON_UDP && other.ConType == CON_UDP && one.LocalPort == other.LocalPort && one.LocalPort != 0)
                return FormatText(constante::UsageUdpLocalPortTwice,
                                  std::to_string(one.LocalPort) + " (" + ports[first].Text + ", " + ports[second].Text + ")");
        }
    return {};
}
