// The card's JTAG chain: a TAP controller clocked bit by bit, and one or more
// identical devices behind it.
//
// Each device has an 8-bit instruction register and a small programmable
// memory reached through data registers, so an effect file can erase it, write
// it and read it back with TDO compares:
//   IDCODE  (01) 32 bits, captures the device's identifier (selected at reset)
//   ADDRESS (10) 16 bits, word address of the next WRITE or READ
//   WRITE   (11) 128 bits, stores the word at the address and moves on
//   READ    (12) 128 bits, captures the word at the address and moves on
//   ERASE   (13) erases the whole memory to FF when the instruction is updated
//   USER    (14) 64 bits, keeps what is shifted in
//   BYPASS  (FF, and every other code) 1 bit
// Bits are shifted least significant first; a register's byte k holds its bits
// 8k to 8k+7.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class TapState : std::uint8_t {
    Reset, Idle, DrSelect, DrCapture, DrShift, DrExit1, DrPause, DrExit2, DrUpdate,
    IrSelect, IrCapture, IrShift, IrExit1, IrPause, IrExit2, IrUpdate,
};
inline constexpr int TapStateCount = 16;

class JtagDevice {
public:
    static constexpr int IrLength = 8;
    static constexpr std::uint8_t InstIdcode = 0x01;
    static constexpr std::uint8_t InstAddress = 0x10;
    static constexpr std::uint8_t InstWrite = 0x11;
    static constexpr std::uint8_t InstRead = 0x12;
    static constexpr std::uint8_t InstErase = 0x13;
    static constexpr std::uint8_t InstUser = 0x14;
    static constexpr std::uint8_t InstBypass = 0xFF;
    static constexpr int IdcodeLength = 32;
    static constexpr int AddressLength = 16;
    static constexpr int WordLength = 128;
    static constexpr int UserLength = 64;
    static constexpr std::size_t WordBytes = WordLength / 8;
    static constexpr std::size_t MemoryWords = 1024;

    explicit JtagDevice(std::uint32_t idcode);

    void ResetTap();
    void CaptureIr();
    void UpdateIr();
    void CaptureDr();
    void UpdateDr();
    bool ShiftIr(bool tdi) { return Shift(IrShiftReg, tdi); }
    bool ShiftDr(bool tdi) { return Shift(DrShiftReg, tdi); }

    std::uint32_t IdCode() const { return Idcode; }
    std::uint8_t Instruction() const { return Ir; }
    const std::vector<std::uint8_t>& Memory() const { return Mem; }
    const std::vector<std::uint8_t>& UserRegister() const { return User; }
    std::uint16_t Address() const { return WordAddress; }

private:
    static bool Shift(std::vector<std::uint8_t>& bits, bool tdi);
    int DrLength() const;

    std::uint32_t Idcode;
    std::uint8_t Ir = InstIdcode;
    std::uint16_t WordAddress = 0;
    std::vector<std::uint8_t> Mem;
    std::vector<std::uint8_t> User;
    std::vector<std::uint8_t> IrShiftReg;  // one entry per bit, 0 or 1
    std::vector<std::uint8_t> DrShiftReg;
};

class JtagChain {
public:
    explicit JtagChain(const std::vector<std::uint32_t>& idcodes);

    // One TCK pulse: the current state's action, then the TMS transition.
    bool Clock(bool tms, bool tdi);
    // Moves along the shortest TMS path to target.
    void GoTo(TapState target);
    // Shifts bits through the instruction (ir) or data register chain. start:
    // move to the shift state first; end: leave it with the last bit and go on to
    // the end state. tdi holds the bits least significant first (missing bytes
    // shift zeros); the result holds the captured bits the same way.
    std::string Scan(bool ir, int bits, const std::string& tdi, bool start, bool end);

    TapState State() const { return Current; }
    TapState EndIr = TapState::Idle;
    TapState EndDr = TapState::Idle;
    const std::vector<JtagDevice>& Devices() const { return Chain; }

    static TapState Next(TapState state, bool tms);

private:
    void Enter(TapState state);

    TapState Current = TapState::Reset;
    std::vector<JtagDevice> Chain;  // index 0 is nearest TDO
};
