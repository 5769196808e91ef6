// The command line of corvane-cardsim.
#pragma once

#include "CardOptions.h"

#include <QHostAddress>
#include <QStringList>

#include <cstdint>
#include <string>

struct CardSimCommandLine {
    enum class Transport { None, Pty, Tcp, Udp };
    Transport Link = Transport::None;
    quint16 Port = 0;
    // The local address --tcp and --udp serve on.
    QHostAddress Address = QHostAddress::LocalHost;
    bool BaudPacing = false;
    bool Trace = false;
    std::string StateFile;
    CardOptions Card;
};

// Parses the arguments (argv[0] first). On --help prints the help and exits 0;
// on a wrong option prints the reason and the usage and exits 2.
CardSimCommandLine ParseCardSimCommandLine(const QStringList& arguments);
