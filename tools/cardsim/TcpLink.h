// The card on a TCP port of one local address; one PC connection at a time (a
// new one replaces the old).
#pragma once

#include "CardLink.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QPointer>

class TcpLink : public CardLink {
public:
    TcpLink(SimulatedCard& card, quint16 port, QHostAddress address = QHostAddress::LocalHost);
    bool Start(std::string& error) override;
    std::string Address() const override;

protected:
    void ToPc(const std::string& bytes) override;
    void Disconnect() override;

private:
    void Accept();

    quint16 Port;
    QHostAddress Served;
    QTcpServer Server;
    QPointer<QTcpSocket> Peer;
};
