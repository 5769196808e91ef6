#include "gestionnaire.h"

#include "TestHost.h"

#include <gtest/gtest.h>

namespace {

// Opens the engine-side operations to the tests.
class ProbeEngine : public TGestionnaire {
public:
    using TGestionnaire::ClearBusy;
    using TGestionnaire::ClearInput;
    using TGestionnaire::ConsumeInput;
    using TGestionnaire::Info;
    using TGestionnaire::PollInput;
    using TGestionnaire::Send;
    using TGestionnaire::SetBusy;
    using TGestionnaire::SetDeviceID;
    using TGestionnaire::SetMaxProgress;
    using TGestionnaire::SpeedUp;
    using TGestionnaire::StepProgress;
    void SetRetryCount(std::int32_t n) { RetryCount = n; }
};

void ExpectIdleDefaults(const TGestionnaire& engine)
{
    EXPECT_EQ(engine.GetCommandLine(), "");
    EXPECT_EQ(engine.GetInBuffer(), "");
    EXPECT_EQ(engine.GetOutBuffer(), "");
    EXPECT_EQ(engine.GetErrorText(), "");
    EXPECT_EQ(engine.GetInfoText(), "");
    EXPECT_EQ(engine.GetMaxProgress(), 100);
    EXPECT_EQ(engine.GetDeviceID(), 0);
    EXPECT_FALSE(engine.IsUpdateAllowed());
    EXPECT_EQ(engine.GetRetryCount(), 0);
    EXPECT_FALSE(engine.IsBusy());
}

}  // namespace

TEST(EngineBase, EveryOperationRaisesItsEventInOrder)
{
    ProbeEngine engine;
    ExpectIdleDefaults(engine);
    TestHost host(engine);

    engine.SetBusy();
    engine.SetBusy();  // raised again although already busy
    engine.SetMaxProgress(5);
    engine.StepProgress();
    engine.Info("Erase Bank2");
    engine.Send("P2");
    engine.SetDeviceID(0xAAAA);
    engine.SpeedUp();
    engine.ReportError("Checksum Error");
    engine.ClearBusy();

    EXPECT_EQ(host.Events, (std::vector<std::string>{
                               "busy:1", "busy:1", "max:5", "step", "info:Erase Bank2", "send:P2",
                               "deviceid:43690", "speedup", "error:Checksum Error", "busy:0"}));
    EXPECT_EQ(engine.GetOutBuffer(), "P2");
    EXPECT_EQ(engine.GetInfoText(), "Erase Bank2");
    EXPECT_EQ(engine.GetErrorText(), "Checksum Error");
    EXPECT_EQ(engine.GetMaxProgress(), 5);
    EXPECT_EQ(engine.GetDeviceID(), 0xAAAA);
    EXPECT_TRUE(engine.IsUpdateAllowed());  // the host answered the identifier
}

TEST(EngineBase, WithoutHandlersFieldsStillChange)
{
    ProbeEngine engine;
    engine.SetBusy();
    engine.Send("RS");
    engine.Info("Reset");
    engine.SetMaxProgress(2);
    engine.StepProgress();
    engine.PollInput();
    engine.SetInBuffer("abc");
    engine.ConsumeInput("a");
    engine.SetDeviceID(7);
    engine.SpeedUp();
    engine.ReportError("Instruction unknown");
    EXPECT_TRUE(engine.IsBusy());
    EXPECT_EQ(engine.GetOutBuffer(), "RS");
    EXPECT_EQ(engine.GetInfoText(), "Reset");
    EXPECT_EQ(engine.GetMaxProgress(), 2);
    EXPECT_EQ(engine.GetInBuffer(), "bc");
    EXPECT_EQ(engine.GetDeviceID(), 7);
    EXPECT_EQ(engine.GetErrorText(), "Instruction unknown");
    engine.ClearInput();
    EXPECT_EQ(engine.GetInBuffer(), "");
}

TEST(EngineBase, HostReceiveTextAndInBufferAreOneBuffer)
{
    ProbeEngine engine;
    TestHost host(engine);
    host.Received = "X.";

    engine.PollInput();
    EXPECT_EQ(engine.GetInBuffer(), "X.");
    // ConsumeInput removes as many characters as its argument has, whatever they are.
    engine.ConsumeInput(".");
    EXPECT_EQ(engine.GetInBuffer(), ".");
    EXPECT_EQ(host.Received, ".");

    // What was not consumed stays for the next poll, together with new text.
    host.Received += "R";
    engine.PollInput();
    EXPECT_EQ(engine.GetInBuffer(), ".R");

    // Consuming more than is there empties the buffer on both sides.
    engine.ConsumeInput("longer than the buffer");
    EXPECT_EQ(engine.GetInBuffer(), "");
    EXPECT_EQ(host.Received, "");

    host.Received = "left over";
    engine.PollInput();
    engine.ClearInput();
    EXPECT_EQ(host.Received, "");
    // Neither pull nor hand-back shows in the event record.
    EXPECT_TRUE(host.Events.empty());
}

TEST(EngineBase, ScriptedCardRepliesAsTheEnginePolls)
{
    ProbeEngine engine;
    TestHost host(engine);
    host.PollReplies = {"", "."};
    engine.PollInput();
    EXPECT_EQ(engine.GetInBuffer(), "");
    engine.PollInput();
    EXPECT_EQ(engine.GetInBuffer(), ".");
    host.Card = [](const std::string& sent) { return sent == "NP" ? "." : "I"; };
    engine.Send("NP");
    engine.Send("ZZ");
    EXPECT_EQ(host.Received, "..I");
}

TEST(EngineBase, ResetRestoresDefaultsSilently)
{
    ProbeEngine engine;
    TestHost host(engine);
    engine.SetCurentDir("/cards/MB/");
    engine.SetCommandLine("P2 BANK2.HEX");
    engine.SetInBuffer("...");
    engine.SetBusy();
    engine.SetMaxProgress(9);
    engine.Send("P2");
    engine.Info("Erase Bank2");
    engine.SetDeviceID(0x1234);
    engine.SetRetryCount(12);
    engine.ReportError("Checksum Error");
    host.Events.clear();

    engine.Reset();
    ExpectIdleDefaults(engine);
    EXPECT_TRUE(host.Events.empty());
    EXPECT_EQ(engine.GetCurentDir(), "/cards/MB/");
    // The handlers survive a reset.
    engine.Send("RS");
    EXPECT_EQ(host.Sent.back(), "RS");
}
