#include "EffectFileWriter.h"

#include "JtagChain.h"
#include "hex.h"

#include <cstdio>
#include <memory>

namespace {

constexpr int WideScanBits = 512;
constexpr std::size_t UserDigits = JtagDevice::UserLength / 4;
constexpr std::size_t WideDigits = WideScanBits / 4;
// The two bits nearest TDO of every instruction register capture 01.
constexpr char IrCapture[] = "01";
constexpr char IdcodeCheck[] = "SDR 32 TDI (00000000) TDO (0C0DE0A5) MASK (0FFFFFFF);";

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

class GroupWriter {
public:
    explicit GroupWriter(std::FILE* file) : File(file) {}

    void Header()
    {
        Comment("effect file for the benchmark: statement groups on the USER register");
        Statement("TRST OFF;", false);
        Statement("ENDIR IDLE;");
        Statement("ENDDR IDLE;");
        Statement("STATE RESET;");
        Statement("STATE IDLE;");
        Statement(Sir(JtagDevice::InstIdcode) + " TDO (" + IrCapture + ") MASK (03);");
        Statement(IdcodeCheck);
        Statement(Sir(JtagDevice::InstUser) + ";");
    }

    // Shifting a wide scan through the 64-bit USER register captures the old
    // value in its low bits and the scan's own low bits above it; the register
    // keeps the scan's top 64 bits.
    void MixedGroup()
    {
        Statement(Sir(JtagDevice::InstUser) + " TDO (" + IrCapture + ");");
        std::string next = Random(UserDigits);
        Statement(Sdr(JtagDevice::UserLength, next) + " TDO (" + User + ");");
        User = next;
        next = Random(UserDigits);
        Statement(Sdr(JtagDevice::UserLength, next) + ";");
        User = next;
        Statement("RUNTEST 100 TCK;");
        next = std::string(UserDigits, 'F');
        Statement(Sdr(JtagDevice::UserLength, next) + " TDO (" + User + ") MASK (" + std::string(UserDigits, 'F') + ");");
        User = next;
        next = Random(WideDigits);
        WideScan(false);
        next = std::string(WideDigits, '0');
        Statement(Sdr(WideScanBits, next) + " TDO (" + next.substr(UserDigits) + User + ") MASK (" +
                  std::string(WideDigits, 'F') + ");");
        User = next.substr(0, UserDigits);
        Statement("STATE IDLE;");
    }

    void WideGroup() { WideScan(true); }

    const EffectFileSize& Size() const { return Written; }
    bool Failed() const { return std::ferror(File) != 0; }

private:
    void WideScan(bool masked)
    {
        const std::string next = Random(WideDigits);
        const std::string mask = masked ? " MASK (" + std::string(WideDigits, 'F') + ")" : std::string();
        Statement(Sdr(WideScanBits, next) + " TDO (" + next.substr(UserDigits) + User + ")" + mask + ";");
        User = next.substr(0, UserDigits);
    }

    static std::string Sir(std::uint8_t instruction)
    {
        return "SIR " + std::to_string(JtagDevice::IrLength) + " TDI (" + ByteToHex(instruction) + ")";
    }
    static std::string Sdr(int bits, const std::string& tdi)
    {
        return "SDR " + std::to_string(bits) + " TDI (" + tdi + ")";
    }

    std::string Random(std::size_t digits)
    {
        std::string text;
        while (text.size() < digits) {
            // xorshift64: a fixed sequence, so the same sizes give the same file.
            Seed ^= Seed << 13;
            Seed ^= Seed >> 7;
            Seed ^= Seed << 17;
            text += LongToHex(static_cast<std::uint32_t>(Seed >> 32));
        }
        return text.substr(0, digits);
    }

    void Comment(const std::string& text) { Line("// " + text); }

    void Statement(const std::string& text, bool sendsRecord = true)
    {
        Line(text);
        if (sendsRecord)
            ++Written.Statements;
    }

    void Line(const std::string& text)
    {
        std::fputs(text.c_str(), File);
        std::fputc('\n', File);
        Written.Bytes += text.size() + 1;
    }

    std::FILE* File;
    EffectFileSize Written;
    std::uint64_t Seed = 0x9E3779B97F4A7C15u;
    std::string User = std::string(UserDigits, '0');
};

}  // namespace

bool WriteEffectFile(const std::string& path, std::uint64_t minStatements, std::uint64_t minBytes,
                     EffectFileSize& written, EffectGroups groups)
{
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file)
        return false;
    GroupWriter writer(file.get());
    writer.Header();
    while (writer.Size().Statements < minStatements || writer.Size().Bytes < minBytes) {
        if (groups == EffectGroups::Wide)
            writer.WideGroup();
        else
            writer.MixedGroup();
    }
    written = writer.Size();
    return !writer.Failed() && std::fflush(file.get()) == 0;
}
