#include "CardSimOptions.h"

#include <QCommandLineParser>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int ExitUsage = 2;

[[noreturn]] void Fail(const QCommandLineParser& parser, const QString& reason)
{
    std::fprintf(stderr, "corvane-cardsim: %s\n\n%s", qPrintable(reason), qPrintable(parser.helpText()));
    std::exit(ExitUsage);
}

std::uint64_t Number(const QCommandLineParser& parser, const QString& option, int base, std::uint64_t max)
{
    bool ok = false;
    const qulonglong value = parser.value(option).toULongLong(&ok, base);
    if (!ok || value > max)
        Fail(parser, QStringLiteral("bad value for --%1: %2").arg(option, parser.value(option)));
    return value;
}

double Rate(const QCommandLineParser& parser, const QString& option)
{
    bool ok = false;
    const double value = parser.value(option).toDouble(&ok);
    if (!ok || value < 0.0 || value > 1.0)
        Fail(parser, QStringLiteral("--%1 takes a fraction from 0 to 1").arg(option));
    return value;
}

}  // namespace

CardSimCommandLine ParseCardSimCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "A simulated video-processing card for the updater: its running firmware (variable\n"
        "protocol), its boot loader and command interpreter, PSD flash banks, and a JTAG chain\n"
        "whose devices hold a small memory an effect file can write and read back.\n"
        "The first line printed is where the updater finds the card: the pseudo-terminal's\n"
        "device path (--pty) or the port number (--tcp, --udp).\n"
        "\n"
        "JTAG devices: 8-bit instruction register; IDCODE 01 (32 bits, selected at reset),\n"
        "ADDRESS 10 (16 bits), WRITE 11 and READ 12 (128-bit words, address moves on after\n"
        "each), ERASE 13 (erases the memory when the instruction is updated), USER 14 (64 bits),\n"
        "BYPASS FF and any other code (1 bit).\n"
        "Version, user version and option texts are 4 characters long.");
    parser.addHelpOption();
    const QList<QCommandLineOption> options = {
        {"pty", "Serve a new pseudo-terminal; its slave device is the updater's serial port."},
        {"tcp", "Listen for the updater on TCP port <port> (0: a free port).", "port"},
        {"udp", "Serve UDP port <port> (0: a free port); replies go to the sender.", "port"},
        {"address", "The local IPv4 address --tcp and --udp serve on (default 127.0.0.1; any of\n"
                    "127.0.0.0/8 serves a card of its own on the loopback).", "ip"},
        {"baud-pacing", "On --pty, carry bytes no faster than the baud rate the updater has set."},
        {"type", "Device type the card reports and its boot loader accepts: 57 or 58 (default 57).", "code"},
        {"device-id", "Device identifier, 4 hex digits (default AAAA).", "hex"},
        {"boot-checksum", "Raw boot checksum sent at synchronisation, 4 hex digits (default: the sum of the\n"
                          "extended boot area 4000-5FFF plus 6000).", "hex"},
        {"start-in-bootloader", "Start in the boot loader, as a card switched on with ENTER pushed."},
        {"version", "Preset the version of a component: C=VVVV, C a hex digit, VVVV 4 characters\n"
                    "(repeatable; unset components read 0000). Without a value: print the package's\n"
                    "version and stop.", "C=VVVV"},
        {"absent-card", "Card number 0-9 that does not answer a ping (repeatable).", "n"},
        {"mcu-id", "Identifier (2 characters) the banks report to D0-D7 (default 5A).", "id"},
        {"jtag-idcodes", "IDCODEs of the JTAG chain, nearest TDO first, comma-separated hex\n"
                         "(default 1C0DE0A5).", "list"},
        {"state", "On exit (also on SIGTERM or SIGINT) write what the card holds to <file> as JSON,\n"
                  "with the bytes its link carried each way by baud rate (0: network) and the\n"
                  "firmware's commands counted by their letters.", "file"},
        {"trace", "Print every transmission to stderr."},
        {"seed", "Seed of the fault injection (default 1).", "n"},
        {"repeat-rate", "Fraction of HEX lines and JTAG records answered \"R\".", "f"},
        {"corrupt-rate", "Fraction of HEX lines, JTAG records and scan streams received with one\n"
                         "character changed (the card's record check asks for them again).", "f"},
        {"drop-rate", "Fraction of HEX lines and JTAG records received with one character lost.", "f"},
        {"corrupt-capture-rate", "Fraction of captured-data replies sent with one digit changed.", "f"},
        {"drop-ack-rate", "Fraction of HEX line acknowledgements never sent (the updater then waits).", "f"},
        {"noise-rate", "Fraction of replies sent with one stray byte in front (NUL, ESC, DEL, 0x80-0xFF),\n"
                       "as line noise puts there; on every link.", "f"},
        {"refuse", "Make a command fail (repeatable): P0-P7/PB fail their erase, V/UV/OP their write,\n"
                   "T its read, M its ping, 57/58 the device type; other commands answer \"I\".", "command"},
        {"silent-after", "Answer nothing after <n> commands.", "n"},
        {"noise-only", "Send line noise in place of every reply: a card that chatters but never answers."},
        {"close-after", "Drop the network connection after <n> commands.", "n"},
    };
    parser.addOptions(options);
    // "--version" followed by no value of its own asks for the package's version.
    const qsizetype version = arguments.indexOf(QStringLiteral("--version"));
    if (version > 0 && (version + 1 == arguments.size() || arguments[version + 1].startsWith('-'))) {
        std::printf("corvane-cardsim %s\n", CORVANE_PACKAGE_VERSION);
        std::exit(0);
    }
    parser.process(arguments);

    CardSimCommandLine line;
    const int transports = parser.isSet("pty") + parser.isSet("tcp") + parser.isSet("udp");
    if (transports != 1)
        Fail(parser, "choose exactly one of --pty, --tcp and --udp");
    if (parser.isSet("pty"))
        line.Link = CardSimCommandLine::Transport::Pty;
    if (parser.isSet("tcp")) {
        line.Link = CardSimCommandLine::Transport::Tcp;
        line.Port = static_cast<quint16>(Number(parser, "tcp", 10, 65535));
    }
    if (parser.isSet("udp")) {
        line.Link = CardSimCommandLine::Transport::Udp;
        line.Port = static_cast<quint16>(Number(parser, "udp", 10, 65535));
    }
    if (parser.isSet("address")) {
        if (line.Link == CardSimCommandLine::Transport::Pty)
            Fail(parser, "--address goes with --tcp or --udp");
        if (!line.Address.setAddress(parser.value("address")) || line.Address.protocol() != QAbstractSocket::IPv4Protocol)
            Fail(parser, QStringLiteral("--address takes an IPv4 address: %1").arg(parser.value("address")));
    }
    line.BaudPacing = parser.isSet("baud-pacing");
    line.Trace = parser.isSet("trace");
    line.StateFile = parser.value("state").toStdString();

    CardOptions& card = line.Card;
    if (parser.isSet("type")) {
        card.DeviceType = static_cast<std::uint16_t>(Number(parser, "type", 10, 0xFFFF));
        if (card.DeviceType != 57 && card.DeviceType != 58)
            Fail(parser, "--type is 57 or 58");
    }
    if (parser.isSet("device-id"))
        card.DeviceId = static_cast<std::uint16_t>(Number(parser, "device-id", 16, 0xFFFF));
    if (parser.isSet("boot-checksum")) {
        card.BootChecksumSet = true;
        card.BootChecksum = static_cast<std::uint16_t>(Number(parser, "boot-checksum", 16, 0xFFFF));
    }
    card.StartInBootLoader = parser.isSet("start-in-bootloader");
    for (const QString& preset : parser.values("version")) {
        const QStringList parts = preset.split('=');
        bool ok = false;
        const uint component = parts.value(0).toUInt(&ok, 16);
        if (parts.size() != 2 || !ok || component > 15 || parts[1].size() != 4)
            Fail(parser, "--version takes C=VVVV, for example 0=0102");
        card.Versions[component] = parts[1].toStdString();
    }
    for (const QString& number : parser.values("absent-card")) {
        bool ok = false;
        const uint value = number.toUInt(&ok);
        if (!ok || value > 9)
            Fail(parser, "--absent-card takes a card number 0-9");
        card.AbsentCards.insert(value);
    }
    if (parser.isSet("mcu-id")) {
        card.McuId = parser.value("mcu-id").toStdString();
        if (card.McuId.size() != 2)
            Fail(parser, "--mcu-id takes 2 characters");
    }
    if (parser.isSet("jtag-idcodes")) {
        card.JtagIdCodes.clear();
        for (const QString& code : parser.value("jtag-idcodes").split(',')) {
            bool ok = false;
            card.JtagIdCodes.push_back(code.toUInt(&ok, 16));
            if (!ok)
                Fail(parser, "--jtag-idcodes takes hex IDCODEs separated by commas");
        }
    }

    FaultOptions& faults = card.Faults;
    if (parser.isSet("seed"))
        faults.Seed = Number(parser, "seed", 10, UINT64_MAX);
    if (parser.isSet("repeat-rate"))
        faults.RepeatRate = Rate(parser, "repeat-rate");
    if (parser.isSet("corrupt-rate"))
        faults.CorruptRate = Rate(parser, "corrupt-rate");
    if (parser.isSet("drop-rate"))
        faults.DropRate = Rate(parser, "drop-rate");
    if (parser.isSet("corrupt-capture-rate"))
        faults.CorruptCaptureRate = Rate(parser, "corrupt-capture-rate");
    if (parser.isSet("drop-ack-rate"))
        faults.DropAckRate = Rate(parser, "drop-ack-rate");
    if (parser.isSet("noise-rate"))
        faults.NoiseRate = Rate(parser, "noise-rate");
    for (const QString& command : parser.values("refuse"))
        faults.Refused.insert(command.toStdString());
    faults.NoiseOnly = parser.isSet("noise-only");
    if (parser.isSet("silent-after"))
        faults.SilentAfter = Number(parser, "silent-after", 10, UINT64_MAX);
    if (parser.isSet("close-after"))
        faults.CloseAfter = Number(parser, "close-after", 10, UINT64_MAX);
    return line;
}
