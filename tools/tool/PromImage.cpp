#include "PromImage.h"

#include "JtagChain.h"
#include "SvfTranslator.h"
#include "TextLineReader.h"
#include "hex.h"

#include <algorithm>

namespace {

constexpr std::uint8_t ScanKindMask = 0x0F;
constexpr std::uint8_t ScanKindIr = 0x02;
constexpr std::uint8_t ScanKindDr = 0x03;
constexpr std::uint8_t ScanUpdates = 0x40;  // the scan ends through the update state
constexpr std::uint8_t ScanFills = 0x80;    // one byte, repeated over the whole scan
// Every TAP captures 01 into its instruction register.
constexpr std::uint8_t IrCaptured = 0x01;
constexpr std::uint8_t RecordRunTest = 0x04;
constexpr std::uint8_t RecordState = 0x05;
constexpr char StateReset = 0x00;
constexpr std::size_t SumDigits = 2;

// Bytes of a hex text in the order the card shifts them (byte 0 first).
std::string HexBytes(const std::string& text)
{
    std::string bytes;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2)
        bytes.push_back(static_cast<char>(HexValue(text[i]) * 16 + HexValue(text[i + 1])));
    return bytes;
}

using Register = std::vector<std::uint8_t>;

// The register after the scan has shifted `bits` bits of tdi through it, least
// significant first, starting from what it captured: the bits shifted last end
// up at its top, and a short scan keeps the top of the captured value below them.
Register ShiftThrough(Register captured, int length, const std::string& tdi, std::uint32_t bits)
{
    const auto bit = [](const auto& bytes, std::size_t at) {
        return at / 8 < bytes.size() && (static_cast<std::uint8_t>(bytes[at / 8]) >> (at % 8) & 1) != 0;
    };
    Register reg = std::move(captured);
    for (std::uint32_t shift = 0; shift < bits; ++shift) {
        Register next(reg.size(), 0);
        for (int at = 0; at < length; ++at) {
            const bool value = at + 1 < length ? bit(reg, static_cast<std::size_t>(at) + 1) : bit(tdi, shift);
            if (value)
                next[static_cast<std::size_t>(at) / 8] |= static_cast<std::uint8_t>(1 << (at % 8));
        }
        reg = std::move(next);
    }
    return reg;
}

}  // namespace

PromImage::PromImage()
    : Memory(JtagDevice::MemoryWords * JtagDevice::WordBytes, HexUnwrittenByte),
      Known(JtagDevice::MemoryWords, false),
      Instruction(JtagDevice::InstIdcode)
{
}

bool PromImage::Play(const std::string& path)
{
    TextLineReader reader;
    if (!reader.Open(path)) {
        Failure = "cannot read " + path;
        return false;
    }
    SvfTranslator translator;
    std::string line;
    std::string record;
    for (std::size_t number = 1; reader.ReadLine(line); ++number) {
        record.clear();
        translator.TranslateLine(line, record);
        if (record.empty())
            continue;
        if (record == TranslateError) {
            Failure = path + " line " + std::to_string(number) + " does not translate";
            return false;
        }
        const HexRecord parsed = ParseHexRecord(record);
        const std::uint8_t kind = parsed.Type & ScanKindMask;
        const bool resets = (parsed.Type == RecordState && parsed.Data.find(StateReset) != std::string::npos) ||
                            (parsed.Type == RecordRunTest && !parsed.Data.empty() && parsed.Data.back() == StateReset);
        if (resets) {
            Instruction = JtagDevice::InstIdcode;  // the TAP reset selects IDCODE
        } else if (kind == ScanKindIr || kind == ScanKindDr) {
            const std::uint32_t bits = static_cast<std::uint16_t>(translator.GetBitLength());
            std::string shifted;
            if ((parsed.Type & ScanFills) != 0)
                shifted.assign((bits + 7) / 8, parsed.Data.empty() ? '\0' : parsed.Data[0]);
            else if (translator.IsStreamPending())
                shifted = HexBytes(translator.GetTdi().substr(0, translator.GetTdi().size() - SumDigits));
            else
                shifted = HexBytes(translator.GetTdi());
            Scan(kind == ScanKindIr, bits, shifted, (parsed.Type & ScanUpdates) != 0);
        }
    }
    if (reader.Failed()) {
        Failure = "cannot read " + path;
        return false;
    }
    return true;
}

std::optional<std::size_t> PromImage::FirstDifferentWord(const std::vector<std::uint8_t>& memory) const
{
    for (std::size_t word = 0; word < Known.size(); ++word) {
        const auto at = static_cast<std::ptrdiff_t>(word * JtagDevice::WordBytes);
        if (Known[word] && !std::equal(Memory.begin() + at, Memory.begin() + at + JtagDevice::WordBytes,
                                       memory.begin() + at))
            return word;
    }
    return std::nullopt;
}

void PromImage::Scan(bool instruction, std::uint32_t bits, const std::string& shifted, bool update)
{
    if (!update)
        return;
    if (instruction) {
        Instruction = ShiftThrough({IrCaptured}, JtagDevice::IrLength, shifted, bits)[0];
        if (Instruction == JtagDevice::InstErase) {
            std::fill(Memory.begin(), Memory.end(), HexUnwrittenByte);
            std::fill(Known.begin(), Known.end(), true);
        }
        return;
    }
    const std::size_t word = Address % JtagDevice::MemoryWords;
    switch (Instruction) {
    case JtagDevice::InstAddress: {
        const Register address = ShiftThrough({static_cast<std::uint8_t>(Address), static_cast<std::uint8_t>(Address >> 8)},
                                              JtagDevice::AddressLength, shifted, bits);
        Address = static_cast<std::uint16_t>(address[0] | address[1] << 8);
        break;
    }
    case JtagDevice::InstWrite: {
        const Register value = ShiftThrough(Register(JtagDevice::WordBytes, 0), JtagDevice::WordLength, shifted, bits);
        std::copy(value.begin(), value.end(), Memory.begin() + static_cast<std::ptrdiff_t>(word * JtagDevice::WordBytes));
        Known[word] = true;
        ++Writes;
        ++Address;
        break;
    }
    case JtagDevice::InstRead:
        ++Address;
        break;
    default:
        break;
    }
}
