#include "LinkSettings.h"

#include "constante.h"
#include "textutil.h"

std::string LinkName(const TLinkSettings& link)
{
    switch (link.ConType) {
    case CON_TCP:
    case CON_UDP:
        return (link.ConType == CON_TCP ? constante::ReportTcpScheme : constante::ReportUdpScheme) + link.RemoteAddress +
               ':' + std::to_string(link.RemotePort);
    default:
        if (link.SerialDevice.empty() || link.ComPort == link.SerialDevice)
            return link.ComPort;
        return link.ComPort + FormatText(constante::OpenedDeviceFormat, link.SerialDevice);
    }
}
