#include "SimulatedCard.h"

#include "constante.h"

namespace {

using namespace constante;

constexpr char CardEscape = ReplyEscape;
const std::string Accepted(1, ReplyAccepted);
const std::string Failed(1, ReplyFailed);
const std::string Unknown(1, ReplyUnknown);
const std::string Repeat(1, ReplyRepeat);
const std::string StreamReady = std::string(1, CardEscape) + ReplyAccepted;

// Firmware (variable protocol) command letters and reply prefixes.
constexpr char VarQuery = '?';
constexpr char VarAddress = '@';
constexpr char VarData = '>';
constexpr char VarDollar = '$';
constexpr char VarHash = '#';
constexpr char VarUpdaterFirst = 'y';
constexpr char VarUpdaterSecond = 'U';
constexpr char VarReplyEnd[] = "\r\n";
constexpr std::uint32_t HandOverFirst = 1;
constexpr std::uint32_t HandOverSecond = 254;
// A firmware command is a handful of digits and a letter; longer junk is dropped.
constexpr std::size_t FirmwareInputLimit = 32;

constexpr char SyncProbe = '%';
constexpr char FirmwareQueryInBootLoader = '?';
constexpr char JtagTarget = '8';

constexpr std::uint8_t ScanCommandMask = 0x0F;
constexpr std::uint8_t ScanIr = 0x02;
constexpr std::uint8_t ScanDr = 0x03;
constexpr std::uint8_t ScanCapture = 0x10;
constexpr std::uint8_t ScanStart = 0x20;
constexpr std::uint8_t ScanEnd = 0x40;
constexpr std::uint8_t ScanFill = 0x80;
constexpr std::uint8_t RecordRunTest = 0x04;
constexpr std::uint8_t RecordState = 0x05;
constexpr std::uint8_t RecordEndIr = 0x06;
constexpr std::uint8_t RecordEndDr = 0x07;
constexpr std::size_t RunTestDataBytes = 5;

bool IsUpperHex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

bool ParseState(std::uint8_t code, TapState& state)
{
    if (code >= TapStateCount)
        return false;
    state = static_cast<TapState>(code);
    return true;
}

std::string BytesToHex(const std::string& bytes)
{
    std::string text;
    for (char byte : bytes)
        text += ByteToHex(static_cast<std::uint8_t>(byte));
    return text;
}

std::uint8_t ByteSum(const std::string& bytes)
{
    unsigned sum = 0;
    for (char byte : bytes)
        sum += static_cast<std::uint8_t>(byte);
    return static_cast<std::uint8_t>(sum);
}

// The compact form of a captured-data text: the digit pairs 00 and 1B travel as
// ESC "0" and ESC ESC; ESC "." ends the reply.
std::string EscapeCapture(const std::string& hex)
{
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        const std::string pair = hex.substr(i, 2);
        if (pair == "00")
            out += std::string(1, CardEscape) + '0';
        else if (pair == "1B")
            out += std::string(2, CardEscape);
        else
            out += pair;
    }
    return out + CardEscape + ReplyAccepted;
}

}  // namespace

std::uint16_t SimulatedCard::FlashArea::Sum() const
{
    std::uint32_t sum = 0;
    for (std::uint32_t address = First; address <= Last; ++address)
        sum += Image[address];
    return static_cast<std::uint16_t>(sum);
}

SimulatedCard::SimulatedCard(const CardOptions& options, std::function<std::uint64_t()> clockMs)
    : Options(options),
      Faults(options.Faults),
      ClockMs(std::move(clockMs)),
      CardMode(options.StartInBootLoader ? Mode::BootLoader : Mode::Firmware),
      Banks(BankCount),
      Chain(options.JtagIdCodes)
{
    Boot.First = 0x4000;
    Boot.Last = 0x5FFF;
    Banks[0].First = 0x0000;
    Banks[0].Last = 0x7FFF;
    for (int bank = 1; bank < BankCount; ++bank) {
        Banks[static_cast<std::size_t>(bank)].First = 0x8000;
        Banks[static_cast<std::size_t>(bank)].Last = 0xFFFF;
    }
    for (const auto& [component, version] : options.Versions)
        VersionTable[HexDigit(component)] = version;
}

void SimulatedCard::Reply(const std::string& text)
{
    if (Silent() || !OnOutput)
        return;
    std::string reply = text;
    if (Options.Faults.NoiseOnly) {
        for (char& byte : reply)
            byte = Faults.NoiseByte();
        NoiseBytes += reply.size();
    } else if (Faults.AddNoise(reply)) {
        ++NoiseBytes;
    }
    OnOutput(reply);
}

void SimulatedCard::CountCommand()
{
    ++Commands;
    if (Faults.CloseAfter(Commands) && OnDisconnect)
        OnDisconnect();
}

void SimulatedCard::Receive(std::string_view bytes)
{
    if (Silent())
        return;
    if (CardMode == Mode::Firmware) {
        Input.append(bytes);
        FirmwareInput();
        return;
    }
    for (char c : bytes)
        BootLoaderByte(c);
    while (!Input.empty() && CardMode == Mode::BootLoader && Handle()) {
    }
}

// ---- Firmware ------------------------------------------------------------------------

void SimulatedCard::FirmwareInput()
{
    std::size_t i = 0;
    while (i < Input.size() && CardMode == Mode::Firmware) {
        const char c = Input[i];
        if (c >= '0' && c <= '9') {
            ++i;
            continue;
        }
        if (c == VarUpdaterFirst && i + 1 == Input.size())
            break;  // the second letter is still on its way
        std::uint32_t value = 0;  // decimal, kept to 32 bits as the card's variables are
        for (std::size_t digit = 0; digit < i; ++digit)
            value = value * 10 + static_cast<std::uint32_t>(Input[digit] - '0');
        std::size_t used = i + 1;
        switch (c) {
        case VarQuery:
            Reply("DEV" + std::to_string(Options.DeviceType) + VarReplyEnd);
            break;
        case VarAddress:
            Reply("ADBG" + std::to_string(value) + VarReplyEnd);
            break;
        case VarData:
            Reply("DDBG" + std::to_string(value) + VarReplyEnd);
            break;
        case VarDollar:
            Reply(std::string(1, VarDollar) + VarReplyEnd);
            break;
        case VarHash:
            Reply(std::string(1, VarHash) + VarReplyEnd);
            break;
        case VarUpdaterFirst:
            if (Input[i + 1] != VarUpdaterSecond)
                break;
            used = i + 2;
            Reply("UPD" + std::to_string(value) + VarReplyEnd);
            if (value == HandOverSecond && LastUpdater == HandOverFirst) {
                CardMode = Mode::BootLoader;
                SyncAnswered = false;
                Expecting = Expect::Command;
            }
            LastUpdater = value;
            break;
        default:
            break;  // not a firmware command: dropped with the digits before it
        }
        ++FirmwareTally[Input.substr(i, used - i)];
        CountCommand();
        Input.erase(0, used);
        i = 0;
    }
    if (CardMode == Mode::BootLoader)
        Input.clear();
    else if (Input.size() > FirmwareInputLimit)
        Input.erase(0, Input.size() - FirmwareInputLimit);
}

// ---- Boot loader -----------------------------------------------------------------------

void SimulatedCard::BootLoaderByte(char c)
{
    if (c == FirmwareQueryInBootLoader)
        return;
    if (c != SyncProbe) {
        Input.push_back(c);
        return;
    }
    ++SyncProbes;
    const std::uint64_t now = ClockMs();
    if (SyncAnswered && now - SyncAnsweredAt < SyncQuietMs)
        return;
    Input.clear();
    Expecting = Expect::Command;
    Upload = nullptr;
    SyncAnswered = true;
    SyncAnsweredAt = now;
    ++SyncAnswers;
    Reply(Accepted);
}

bool SimulatedCard::TakeLine(std::string& line)
{
    const std::size_t end = Input.find('\n');
    if (end == std::string::npos)
        return false;
    line = Input.substr(0, end);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    Input.erase(0, end + 1);
    return true;
}

bool SimulatedCard::TakeCount(std::size_t count, std::string& text)
{
    if (Input.size() < count)
        return false;
    text = Input.substr(0, count);
    Input.erase(0, count);
    return true;
}

bool SimulatedCard::Handle()
{
    std::string message;
    switch (Expecting) {
    case Expect::Command:
        return Command();
    case Expect::Text:
        if (!TakeCount(TextLength, message))
            return false;
        TextReceived(message);
        return true;
    case Expect::HexLines:
        if (!TakeLine(message))
            return false;
        HexLine(message);
        return true;
    case Expect::JtagRecords:
        if (!TakeLine(message))
            return false;
        JtagRecord(message);
        return true;
    case Expect::StreamData:
        if (!TakeCount(StreamLength, message))
            return false;
        StreamReceived(message);
        return true;
    case Expect::CaptureAck:
        message = Input.substr(0, 1);
        Input.erase(0, 1);
        CaptureAck(message[0]);
        return true;
    }
    return false;
}

bool SimulatedCard::Command()
{
    if (Input[0] == '\r' || Input[0] == '\n') {
        Input.erase(0, 1);
        return true;
    }
    if (Input[0] == ':') {
        // A HEX line outside an upload: read it whole, then refuse it.
        std::string line;
        if (!TakeLine(line))
            return false;
        CountCommand();
        Reply(Unknown);
        return true;
    }
    std::string command;
    if (!TakeCount(2, command))
        return false;
    CountCommand();
    Dispatch(command);
    return true;
}

void SimulatedCard::Dispatch(const std::string& command)
{
    CurrentCommand = command;
    const bool refused = Faults.Refuses(command);
    const char letter = command[0];
    const char selector = command[1];
    const bool bankDigit = selector >= '0' && selector < '0' + BankCount;

    if (command == std::to_string(DeviceTypeCodes[0]) || command == std::to_string(DeviceTypeCodes[1])) {
        if (refused || command != std::to_string(Options.DeviceType))
            Reply(Failed);
        else
            Reply(Accepted + WordToHex(RawBootChecksum()) + WordToHex(Options.DeviceId) + Accepted);
    } else if (command == CmdBootUpload) {
        StartUpload(Boot, command);
    } else if (letter == CmdProgram[0] && bankDigit) {
        StartUpload(Banks[static_cast<std::size_t>(selector - '0')], command);
    } else if (letter == CmdProgram[0] && selector == JtagTarget) {
        if (refused) {
            Reply(Unknown);
            return;
        }
        Expecting = Expect::JtagRecords;
        Reply(Accepted);
    } else if (letter == CmdIdentify[0] && bankDigit) {
        Reply(refused ? Unknown : Accepted + Options.McuId + Accepted);
    } else if (letter == CmdIdentify[0] && selector == JtagTarget) {
        Reply(refused ? Unknown : Accepted + JtagIdText() + Accepted);
    } else if (letter == CmdFunction[0] && (bankDigit || selector == JtagTarget)) {
        Reply(refused ? Unknown : Accepted);
    } else if (command == CmdReset || command == CmdNp || command == CmdFy) {
        Reply(refused ? Unknown : Accepted);
    } else if (command == CmdFinish) {
        Reply(refused ? Unknown : Accepted);
        if (!refused) {
            CardMode = Mode::Firmware;
            LastUpdater = 0;
            Input.clear();
        }
    } else if (letter == CmdVersionWrite[0] || command == CmdUserVersion || command == CmdOption) {
        Text = letter == CmdVersionWrite[0] ? TextKind::Version
               : command == CmdUserVersion ? TextKind::UserVersion : TextKind::Option;
        TextComponent = selector;
        TextRefused = refused;
        Expecting = Expect::Text;
        Reply(Accepted);
    } else if (letter == CmdVersionTest[0]) {
        const auto version = VersionTable.find(selector);
        Reply(refused ? Accepted + Failed
                      : Accepted + (version == VersionTable.end() ? std::string(TextLength, '0') : version->second) +
                            Accepted);
    } else if (letter == CmdPing[0]) {
        const bool absent = selector < '0' || selector > '9' ||
                            Options.AbsentCards.count(static_cast<unsigned>(selector - '0')) != 0;
        Reply(refused || absent ? Failed : Accepted);
    } else {
        Reply(Unknown);
    }
}

void SimulatedCard::StartUpload(FlashArea& area, const std::string& command)
{
    // The command is accepted, then the erase is reported done (or failed).
    if (Faults.Refuses(command)) {
        Reply(Accepted + Failed);
        return;
    }
    area.Image.assign(area.Image.size(), 0xFF);
    ++area.Erases;
    area.Verified = false;
    Upload = &area;
    Expecting = Expect::HexLines;
    Reply(Accepted + Accepted);
}

void SimulatedCard::HexLine(std::string line)
{
    CountCommand();
    Faults.DamageIncoming(line, true);
    if (!line.empty() && line[0] == ':' && !IsIntactRecord(line)) {
        ++Retransmissions;
        Reply(Repeat);
        return;
    }
    if (Faults.RequestRepeat()) {
        ++Retransmissions;
        Reply(Repeat);
        return;
    }
    if (line.empty() || line[0] != ':') {
        if (!Faults.DropAck())
            Reply(Accepted);
        return;
    }
    const HexRecord record = ParseHexRecord(line);
    if (record.Type == HexRecordChecksum) {
        const std::uint16_t expected = HexToWord(line.substr(9));
        Upload->Verified = expected == Upload->Sum();
        Expecting = Expect::Command;
        Reply(Upload->Verified ? Accepted : Failed);
        Upload = nullptr;
        return;
    }
    if (record.Type == HexRecordData) {
        for (std::size_t i = 0; i < record.Data.size() && record.Address + i < Upload->Image.size(); ++i)
            Upload->Image[record.Address + i] = static_cast<std::uint8_t>(record.Data[i]);
        ++Upload->LinesWritten;
    }
    if (!Faults.DropAck())
        Reply(Accepted);
}

void SimulatedCard::TextReceived(const std::string& text)
{
    CountCommand();
    Expecting = Expect::Command;
    if (TextRefused) {
        Reply(Failed);
        return;
    }
    switch (Text) {
    case TextKind::Version:
        VersionTable[TextComponent] = text;
        break;
    case TextKind::UserVersion:
        UserVersionText = text;
        break;
    case TextKind::Option:
        OptionCodeText = text;
        break;
    }
    Reply(Accepted);
}

// ---- JTAG play -----------------------------------------------------------------------

void SimulatedCard::JtagRecord(std::string line)
{
    CountCommand();
    Faults.DamageIncoming(line, true);
    if (!IsIntactRecord(line) || Faults.RequestRepeat()) {
        ++Retransmissions;
        Reply(Repeat);
        return;
    }
    const HexRecord record = ParseHexRecord(line);
    const std::uint8_t kind = record.Type & ScanCommandMask;
    TapState state;
    if (record.Type == HexRecordEndOfFile) {
        Expecting = Expect::Command;
        Reply(Accepted);
        return;
    }
    if (kind == ScanIr || kind == ScanDr) {
        Scan = record;
        const bool fill = kind == ScanDr && (record.Type & ScanFill) != 0;
        if (kind == ScanIr || fill) {
            const std::size_t bytes = (static_cast<std::size_t>(record.Address) + 7) / 8;
            ExecuteScan(kind == ScanIr ? record.Data : std::string(bytes, record.Data.empty() ? '\0' : record.Data[0]));
            return;
        }
        StreamLength = record.Data.empty() ? 0 : static_cast<std::uint8_t>(record.Data[0]);
        Expecting = Expect::StreamData;
        Reply(StreamReady);
        return;
    }
    bool executed = true;
    if (record.Type == RecordRunTest && record.Data.size() == RunTestDataBytes &&
        ParseState(static_cast<std::uint8_t>(record.Data[4]), state)) {
        Chain.GoTo(state);  // the clocks themselves change nothing in a stable state
    } else if (record.Type == RecordState) {
        for (char code : record.Data)
            if (ParseState(static_cast<std::uint8_t>(code), state))
                Chain.GoTo(state);
            else
                executed = false;
    } else if ((record.Type == RecordEndIr || record.Type == RecordEndDr) && record.Data.size() == 1 &&
               ParseState(static_cast<std::uint8_t>(record.Data[0]), state)) {
        (record.Type == RecordEndIr ? Chain.EndIr : Chain.EndDr) = state;
    } else {
        executed = false;
    }
    if (executed)
        ++RecordsExecuted;
    Reply(executed ? Accepted : Failed);
}

void SimulatedCard::StreamReceived(std::string stream)
{
    CountCommand();
    Faults.DamageIncoming(stream, false);
    Expecting = Expect::JtagRecords;
    bool intact = stream.size() >= 2 && stream.size() % 2 == 0;
    for (char c : stream)
        intact = intact && IsUpperHex(c);
    std::string bytes;
    for (std::size_t i = 0; intact && i + 1 < stream.size(); i += 2)
        bytes.push_back(static_cast<char>(HexValue(stream[i]) * 16 + HexValue(stream[i + 1])));
    if (!intact || ByteSum(bytes.substr(0, bytes.size() - 1)) != static_cast<std::uint8_t>(bytes.back())) {
        // The PC sends the record again, then the stream.
        ++Retransmissions;
        Reply(Repeat);
        return;
    }
    bytes.pop_back();
    ExecuteScan(bytes);
}

void SimulatedCard::ExecuteScan(const std::string& tdi)
{
    const bool ir = (Scan.Type & ScanCommandMask) == ScanIr;
    const std::string captured =
        Chain.Scan(ir, Scan.Address, tdi, (Scan.Type & ScanStart) != 0, (Scan.Type & ScanEnd) != 0);
    ++RecordsExecuted;
    if ((Scan.Type & ScanCapture) == 0) {
        Reply(Accepted);
        return;
    }
    CaptureHex = BytesToHex(captured) + ByteToHex(ByteSum(captured));
    Expecting = Expect::CaptureAck;
    SendCapture();
}

void SimulatedCard::SendCapture()
{
    std::string hex = CaptureHex;
    Faults.DamageCapture(hex);
    Reply(EscapeCapture(hex));
}

void SimulatedCard::CaptureAck(char c)
{
    if (c == ReplyAccepted) {
        CountCommand();
        Expecting = Expect::JtagRecords;
        Reply(Accepted);
    } else if (c == ReplyRepeat) {
        CountCommand();
        ++Retransmissions;
        SendCapture();
    }
}

std::string SimulatedCard::JtagIdText() const
{
    std::string text;
    for (const JtagDevice& device : Chain.Devices())
        text += ByteToHex(device.IdCode()) + ByteToHex(device.IdCode() >> 8) + ByteToHex(device.IdCode() >> 16) +
                ByteToHex(device.IdCode() >> 24);
    return text;
}

std::uint16_t SimulatedCard::RawBootChecksum() const
{
    if (Options.BootChecksumSet)
        return Options.BootChecksum;
    return static_cast<std::uint16_t>(Boot.Sum() + BootChecksumBias);
}

bool SimulatedCard::IsIntactRecord(const std::string& line)
{
    // Upper-case digits only, a length that matches the count, and a checksum
    // that matches: rebuilding the record from its fields must give the line back.
    if (line.size() < 11 || line[0] != ':')
        return false;
    for (std::size_t i = 1; i < line.size(); ++i)
        if (!IsUpperHex(line[i]))
            return false;
    const HexRecord record = ParseHexRecord(line);
    if (line.size() != 11 + 2 * static_cast<std::size_t>(record.Count))
        return false;
    return BuildHexRecord(record.Type, record.Address, line.substr(9, line.size() - 11)) == line;
}
