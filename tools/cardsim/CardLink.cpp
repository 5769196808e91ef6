#include "CardLink.h"

CardLink::CardLink(SimulatedCard& card) : Card(card)
{
    Card.OnOutput = [this](const std::string& bytes) {
        if (OnTrace)
            OnTrace("CARD", bytes);
        Traffic& traffic = CarriedByBaud[LineBaud()];
        traffic.ToPc += bytes.size();
        if (Card.CurrentMode() == SimulatedCard::Mode::Firmware)
            traffic.FirmwareToPc += bytes.size();
        ToPc(bytes);
    };
    Card.OnDisconnect = [this] { Disconnect(); };
}

CardLink::~CardLink()
{
    Card.OnOutput = nullptr;
    Card.OnDisconnect = nullptr;
}

void CardLink::FromPc(const std::string& bytes)
{
    CountFromPc(bytes.size(), LineBaud());
    ToCard(bytes);
}

void CardLink::ToCard(const std::string& bytes)
{
    if (OnTrace)
        OnTrace("PC", bytes);
    Card.Receive(bytes);
}
