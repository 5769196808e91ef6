#include "TestHost.h"

#include <utility>

TestHost::TestHost(TGestionnaire& engine) : Engine(engine)
{
    Engine.OnSend = [this](TGestionnaire& sender) {
        const std::string sent = sender.GetOutBuffer();
        Sent.push_back(sent);
        Events.push_back("send:" + sent);
        Transcript.push_back("> " + sent);
        if (Card)
            Arrive(Card(sent));
    };
    Engine.OnReceive = [this](TGestionnaire& sender) {
        if (!PollReplies.empty()) {
            Arrive(PollReplies.front());
            PollReplies.pop_front();
        }
        sender.SetInBuffer(Received);
    };
    Engine.OnChangeBufIn = [this](TGestionnaire& sender) { Received = sender.GetInBuffer(); };
    Engine.OnNoise = [this](TGestionnaire& sender) {
        Received = sender.GetInBuffer();
        Noise += sender.GetLastNoise();
    };
    Engine.OnChangeBusy = [this](TGestionnaire& sender) {
        Events.push_back(sender.IsBusy() ? "busy:1" : "busy:0");
    };
    Engine.OnStepProgress = [this](TGestionnaire&) {
        ++Progress;
        Events.push_back("step");
    };
    Engine.OnChangeMaxProgress = [this](TGestionnaire& sender) {
        Progress = 0;
        Events.push_back("max:" + std::to_string(sender.GetMaxProgress()));
    };
    Engine.OnInfo = [this](TGestionnaire& sender) { Events.push_back("info:" + sender.GetInfoText()); };
    Engine.OnError = [this](TGestionnaire& sender) { Events.push_back("error:" + sender.GetErrorText()); };
    Engine.OnChangeDeviceID = [this](TGestionnaire& sender) {
        Events.push_back("deviceid:" + std::to_string(sender.GetDeviceID()));
        sender.SetUpdateAllowed(true);
    };
    Engine.OnSpeedUp = [this](TGestionnaire&) { Events.push_back("speedup"); };
}

std::vector<std::string> TestHost::EventsOf(const std::string& kind) const
{
    std::vector<std::string> found;
    const std::string prefix = kind + ":";
    for (const std::string& event : Events) {
        if (event == kind)
            found.push_back("");
        else if (event.compare(0, prefix.size(), prefix) == 0)
            found.push_back(event.substr(prefix.size()));
    }
    return found;
}

void TestHost::Arrive(const std::string& reply)
{
    if (reply.empty())
        return;
    Received += reply;
    Transcript.push_back("< " + reply);
}

std::function<std::string(const std::string& sent)> AnswerTable(std::map<std::string, std::string> answers)
{
    return [answers = std::move(answers)](const std::string& sent) {
        const auto found = answers.find(sent);
        return found == answers.end() ? std::string() : found->second;
    };
}
