// The card on a UDP port of one local address; each reply goes to the address
// and port the last datagram came from (the updater's local port).
#pragma once

#include "CardLink.h"

#include <QHostAddress>
#include <QUdpSocket>

class UdpLink : public CardLink {
public:
    UdpLink(SimulatedCard& card, quint16 port, QHostAddress address = QHostAddress::LocalHost);
    bool Start(std::string& error) override;
    std::string Address() const override;

protected:
    void ToPc(const std::string& bytes) override;

private:
    void Read();

    quint16 Port;
    QHostAddress Served;
    QUdpSocket Socket;
    QHostAddress PeerAddress;
    quint16 PeerPort = 0;
};
