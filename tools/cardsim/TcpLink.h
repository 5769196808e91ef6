// The card on a TCP port of 127.0.0.1; one PC connection at a time (a new one
// replaces the old).
#pragma once

#include "CardLink.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QPointer>

class TcpLink : public CardLink {
public:
    TcpLink(SimulatedCard& card, quint16 port);
    bool Start(std::string& error) override;
    std::string Address() const override;

protected:
    void ToPc(const std::string& bytes) override;
    void Disconnect() override;

private:
    void Accept();

    quint16 Port;
    QTcpServer Server;
    QPointer<QTcpSocket> Peer;
};
