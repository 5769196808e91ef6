#include "JtagChain.h"

#include <array>
#include <deque>

namespace {

void LoadBits(std::vector<std::uint8_t>& bits, const std::vector<std::uint8_t>& bytes, int length)
{
    bits.assign(static_cast<std::size_t>(length), 0);
    for (int i = 0; i < length; ++i) {
        const std::size_t byte = static_cast<std::size_t>(i / 8);
        if (byte < bytes.size())
            bits[static_cast<std::size_t>(i)] = (bytes[byte] >> (i % 8)) & 1;
    }
}

std::vector<std::uint8_t> StoreBits(const std::vector<std::uint8_t>& bits)
{
    std::vector<std::uint8_t> bytes((bits.size() + 7) / 8, 0);
    for (std::size_t i = 0; i < bits.size(); ++i)
        bytes[i / 8] = static_cast<std::uint8_t>(bytes[i / 8] | bits[i] << (i % 8));
    return bytes;
}

std::uint32_t BitsToNumber(const std::vector<std::uint8_t>& bits)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < bits.size() && i < 32; ++i)
        value |= static_cast<std::uint32_t>(bits[i]) << i;
    return value;
}

}  // namespace

JtagDevice::JtagDevice(std::uint32_t idcode)
    : Idcode(idcode), Mem(MemoryWords * WordBytes, 0xFF), User(UserLength / 8, 0)
{
}

void JtagDevice::ResetTap() { Ir = InstIdcode; }

void JtagDevice::CaptureIr()
{
    // The two bits nearest TDO read 01, as every TAP does.
    LoadBits(IrShiftReg, {0x01}, IrLength);
}

void JtagDevice::UpdateIr()
{
    Ir = static_cast<std::uint8_t>(BitsToNumber(IrShiftReg));
    if (Ir == InstErase)
        Mem.assign(Mem.size(), 0xFF);
}

int JtagDevice::DrLength() const
{
    switch (Ir) {
    case InstIdcode: return IdcodeLength;
    case InstAddress: return AddressLength;
    case InstWrite:
    case InstRead: return WordLength;
    case InstUser: return UserLength;
    default: return 1;
    }
}

void JtagDevice::CaptureDr()
{
    const std::size_t word = static_cast<std::size_t>(WordAddress % MemoryWords) * WordBytes;
    switch (Ir) {
    case InstIdcode:
        LoadBits(DrShiftReg, {static_cast<std::uint8_t>(Idcode), static_cast<std::uint8_t>(Idcode >> 8),
                              static_cast<std::uint8_t>(Idcode >> 16), static_cast<std::uint8_t>(Idcode >> 24)},
                 IdcodeLength);
        break;
    case InstAddress:
        LoadBits(DrShiftReg, {static_cast<std::uint8_t>(WordAddress), static_cast<std::uint8_t>(WordAddress >> 8)},
                 AddressLength);
        break;
    case InstRead:
        LoadBits(DrShiftReg, std::vector<std::uint8_t>(Mem.begin() + static_cast<std::ptrdiff_t>(word),
                                                      Mem.begin() + static_cast<std::ptrdiff_t>(word + WordBytes)),
                 WordLength);
        break;
    case InstUser:
        LoadBits(DrShiftReg, User, UserLength);
        break;
    default:
        LoadBits(DrShiftReg, {}, DrLength());
        break;
    }
}

void JtagDevice::UpdateDr()
{
    const std::size_t word = static_cast<std::size_t>(WordAddress % MemoryWords) * WordBytes;
    switch (Ir) {
    case InstAddress:
        WordAddress = static_cast<std::uint16_t>(BitsToNumber(DrShiftReg));
        break;
    case InstWrite: {
        const std::vector<std::uint8_t> bytes = StoreBits(DrShiftReg);
        std::copy(bytes.begin(), bytes.end(), Mem.begin() + static_cast<std::ptrdiff_t>(word));
        ++WordAddress;
        break;
    }
    case InstRead:
        ++WordAddress;
        break;
    case InstUser:
        User = StoreBits(DrShiftReg);
        break;
    default:
        break;
    }
}

bool JtagDevice::Shift(std::vector<std::uint8_t>& bits, bool tdi)
{
    if (bits.empty())
        return tdi;
    const bool out = bits.front() != 0;
    bits.erase(bits.begin());
    bits.push_back(tdi ? 1 : 0);
    return out;
}

JtagChain::JtagChain(const std::vector<std::uint32_t>& idcodes)
{
    for (std::uint32_t idcode : idcodes)
        Chain.emplace_back(idcode);
}

TapState JtagChain::Next(TapState state, bool tms)
{
    using S = TapState;
    // Successor for TMS = 0 and TMS = 1, in the order of the state codes.
    static constexpr std::array<std::array<S, 2>, TapStateCount> Table = {{
        {S::Idle, S::Reset},         {S::Idle, S::DrSelect},     {S::DrCapture, S::IrSelect},
        {S::DrShift, S::DrExit1},    {S::DrShift, S::DrExit1},   {S::DrPause, S::DrUpdate},
        {S::DrPause, S::DrExit2},    {S::DrShift, S::DrUpdate},  {S::Idle, S::DrSelect},
        {S::IrCapture, S::Reset},    {S::IrShift, S::IrExit1},   {S::IrShift, S::IrExit1},
        {S::IrPause, S::IrUpdate},   {S::IrPause, S::IrExit2},   {S::IrShift, S::IrUpdate},
        {S::Idle, S::DrSelect},
    }};
    return Table[static_cast<std::size_t>(state)][tms ? 1 : 0];
}

bool JtagChain::Clock(bool tms, bool tdi)
{
    bool tdo = false;
    switch (Current) {
    case TapState::DrCapture:
        for (JtagDevice& device : Chain)
            device.CaptureDr();
        break;
    case TapState::IrCapture:
        for (JtagDevice& device : Chain)
            device.CaptureIr();
        break;
    case TapState::DrShift:
    case TapState::IrShift: {
        const bool ir = Current == TapState::IrShift;
        bool bit = tdi;
        for (auto device = Chain.rbegin(); device != Chain.rend(); ++device)
            bit = ir ? device->ShiftIr(bit) : device->ShiftDr(bit);
        tdo = bit;
        break;
    }
    default:
        break;
    }
    Enter(Next(Current, tms));
    return tdo;
}

void JtagChain::Enter(TapState state)
{
    Current = state;
    for (JtagDevice& device : Chain) {
        if (state == TapState::Reset)
            device.ResetTap();
        else if (state == TapState::IrUpdate)
            device.UpdateIr();
        else if (state == TapState::DrUpdate)
            device.UpdateDr();
    }
}

void JtagChain::GoTo(TapState target)
{
    if (target == TapState::Reset) {
        for (int i = 0; i < 5; ++i)
            Clock(true, false);
        return;
    }
    // Breadth-first search over the TMS graph for the shortest path.
    std::array<int, TapStateCount> from;
    from.fill(-1);
    std::array<bool, TapStateCount> via{};
    std::deque<TapState> queue = {Current};
    from[static_cast<std::size_t>(Current)] = static_cast<int>(Current);
    while (!queue.empty() && from[static_cast<std::size_t>(target)] < 0) {
        const TapState state = queue.front();
        queue.pop_front();
        for (bool tms : {false, true}) {
            const TapState next = Next(state, tms);
            if (from[static_cast<std::size_t>(next)] < 0) {
                from[static_cast<std::size_t>(next)] = static_cast<int>(state);
                via[static_cast<std::size_t>(next)] = tms;
                queue.push_back(next);
            }
        }
    }
    std::vector<bool> path;
    for (TapState state = target; state != Current;
         state = static_cast<TapState>(from[static_cast<std::size_t>(state)]))
        path.push_back(via[static_cast<std::size_t>(state)]);
    for (auto tms = path.rbegin(); tms != path.rend(); ++tms)
        Clock(*tms, false);
}

std::string JtagChain::Scan(bool ir, int bits, const std::string& tdi, bool start, bool end)
{
    const TapState shift = ir ? TapState::IrShift : TapState::DrShift;
    if (start || Current != shift)
        GoTo(shift);
    std::string captured(static_cast<std::size_t>((bits + 7) / 8), '\0');
    for (int i = 0; i < bits; ++i) {
        const std::size_t byte = static_cast<std::size_t>(i / 8);
        const bool in = byte < tdi.size() && ((static_cast<std::uint8_t>(tdi[byte]) >> (i % 8)) & 1);
        const bool last = end && i == bits - 1;
        if (Clock(last, in))
            captured[byte] = static_cast<char>(captured[byte] | 1 << (i % 8));
    }
    if (end)
        GoTo(ir ? EndIr : EndDr);
    return captured;
}
