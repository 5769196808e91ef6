// Update scripts of any content run by an update session against a card that
// answers anything: every operation line is offered to the
// four engines in turn, as START does it.
//
// Input: one byte choosing the card's firmware (bits 0-1: it reports type 57, 58,
// an unknown type, or nothing), the main script up to a zero byte, the
// motherboard script ("MB/") up to the next, the data file "F" (in both folders)
// up to the next, then the card's answers in the programming phase separated by
// 0xFF: one answer to each command an engine sends, in order. Answers arrive
// at once, after the sequencer step that sent the command. The link is UDP to a
// card that is never there; its answers arrive as its datagrams would.
#include "FuzzSupport.h"

#include "ComDriverFeed.h"
#include "UpdateSession.h"
#include "constante.h"

#include <QCoreApplication>

#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr char AnswerEnd = '\xFF';
// The card probe alone lasts 50 ticks when nothing answers it.
constexpr int TicksBeyondAnswers = 80;
constexpr int TicksPerAnswer = 3;
// What the firmware reports to the device query, by the input's first byte.
constexpr const char* FirmwareTypes[] = {"DEV57\r\n", "DEV58\r\n", "DEV99\r\n", ""};
constexpr char UpdaterReplyPrefix[] = "UPD";
// The card's port: nothing listens there.
constexpr std::int32_t DiscardPort = 9;
// The driver keeps the last type a card reported; each run starts from none.
constexpr char NoFirmwareType[] = "DEV0\r\n";

class Bench {
public:
    Bench() : Folder(Dir.Path())
    {
        std::filesystem::create_directories(Folder + "MB");
        std::filesystem::create_directories(Folder + "EXT");
        Write("BOOT_EXT_OPTION.HEX", ":0440000001020304B2\r\n:00000001FF\r\n");
        Write("EXT/script.ini", "prompt extension\r\nV9 0120\r\n");

        Session = std::make_unique<TUpdateSession>(Folder.substr(0, Folder.size() - 1));
        TUpdateSession& session = *Session;
        TLinkSettings link;
        link.ConType = CON_UDP;
        link.RemoteAddress = "127.0.0.1";
        link.RemotePort = DiscardPort;
        session.SetLink(link);
        // Scripts of any content are to reach the engines, not the check before a run.
        session.SetCheckUpdate(false);
        session.OnBox = [this](TBoxKind, const std::string& text) { Boxes.push_back(text); };
        session.OnRunEnd = [this](TUpdateSession::TRunResult result, const std::string&, const std::string&) {
            Ended = true;
            Completed = result == TUpdateSession::TRunResult::Completed;
        };
        // Every pause is over at the next look.
        session.GetProgJtag().TickCount = [this] { return Now += 1000; };
        session.GetInstCrt().TickCount = [this] { return Now += 1000; };
        session.GetDriver().OnSentString = [this](TComDriver& driver, std::int32_t) { FirmwareAnswer(driver); };
        for (TGestionnaire* engine : Engines()) {
            const TGestionnaire::TNotifyEvent send = engine->OnSend;
            engine->OnSend = [this, send](TGestionnaire& sender) {
                LastSent = sender.GetOutBuffer();
                send(sender);
                Answer();
            };
            const TGestionnaire::TNotifyEvent error = engine->OnError;
            engine->OnError = [this, error](TGestionnaire& sender) {
                EngineFailed = true;
                error(sender);
            };
        }
    }

    void Write(const std::string& name, const std::string& content) const
    {
        std::ofstream file(Folder + name, std::ios::binary | std::ios::trunc);
        file << content;
    }

    void Run(std::uint8_t firmware, const std::vector<std::string>& answers)
    {
        FirmwareType = FirmwareTypes[firmware % std::size(FirmwareTypes)];
        TUpdateSession& session = *Session;
        Answers.assign(answers.begin(), answers.end());
        Arriving.clear();
        Boxes.clear();
        LastSent.clear();
        Ended = Completed = EngineFailed = false;
        session.Start();
        const int limit = TicksBeyondAnswers + TicksPerAnswer * static_cast<int>(answers.size());
        session.Timer1Timer();  // the script is loaded and the link opened
        Arriving.push_back(NoFirmwareType);
        Deliver();
        for (int tick = 0; tick < limit && !Ended; ++tick) {
            session.Timer1Timer();
            Deliver();
            int busy = 0;
            for (TGestionnaire* engine : Engines())
                busy += engine->IsBusy() ? 1 : 0;
            Require(busy <= 1, "one operation line is taken by one engine at most");
        }
        if (!Ended)
            session.Stop();
        session.Timer1Timer();
        // What the run posted (sockets closed, steps that follow at once) is handled as the event loop would.
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Require(session.IsIdle(), "every run returns to idle");
        for (TGestionnaire* engine : Engines())
            Require(!engine->IsBusy(), "the idle tick leaves no engine busy");
        if (Completed) {
            Require(!EngineFailed, "a run in which an engine failed is not completed");
            Require(Boxes.empty(), "a completed run shows no error box");
            Require(LastSent == constante::CmdFinish, "a completed run ends with the closing operation");
        }
    }

private:
    std::vector<TGestionnaire*> Engines()
    {
        return {&Session->GetProgBoot(), &Session->GetInstCrt(), &Session->GetProgPsd(), &Session->GetProgJtag()};
    }

    // The firmware's answer to the variable command just sent: its type to the
    // query, the value written to UPDATER.
    void FirmwareAnswer(const TComDriver& driver)
    {
        const std::string& sent = driver.GetsentString();
        if (sent == TComDriver::VarCommands[constante::VarQueryIndex])
            Arriving.push_back(FirmwareType);
        else
            Arriving.push_back(UpdaterReplyPrefix + sent.substr(0, sent.find_first_not_of("0123456789")) + "\r\n");
    }

    // The card's answer to the command an engine just sent, on its way.
    void Answer()
    {
        if (Answers.empty())
            return;
        Arriving.push_back(Answers.front());
        Answers.pop_front();
    }

    // Every answer on its way arrives, and with it the answers to what the
    // steps it caused have sent.
    void Deliver()
    {
        TComDriver& driver = Session->GetDriver();
        while (!Arriving.empty() && !Ended) {
            const std::string answer = Arriving.front();
            Arriving.pop_front();
            if (driver.GetUdpEndpoint().IsActive())  // a closed endpoint receives nothing
                TComDriverFeed::CardDatagram(driver, answer);
        }
    }

    FuzzFolder Dir;  // goes after the session
    std::string Folder;
    std::unique_ptr<TUpdateSession> Session;
    std::deque<std::string> Answers;
    std::deque<std::string> Arriving;
    std::vector<std::string> Boxes;
    std::string LastSent;
    std::string FirmwareType;
    std::uint32_t Now = 0;
    bool Ended = false;
    bool Completed = false;
    bool EngineFailed = false;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication application(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Bench bench;
    FuzzInput input(data, size);
    const std::uint8_t firmware = input.Byte();
    bench.Write("script.ini", input.Until('\0'));
    bench.Write("MB/script.ini", input.Until('\0'));
    const std::string dataFile = input.Until('\0');
    bench.Write("F", dataFile);
    bench.Write("MB/F", dataFile);
    bench.Run(firmware, input.Pieces(AnswerEnd));
    return 0;
}
