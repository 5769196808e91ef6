// The filters of TUpdateSession that turn script lines into remarks: components
// already up to date (Auto mode), cards that do not answer their ping, and the
// operator's choice of components (Manual mode).
#include "UpdateSession.h"

#include "LineFilters.h"
#include "constante.h"
#include "hex.h"

void TUpdateSession::SkipUpToDate(TGestionnaire&, std::int32_t component)
{
    if (Manual)
        return;
    const auto reported = static_cast<unsigned>(component);
    TellSkipped(std::string(1, HexDigit(reported)), TSkipReason::UpToDate);
    // One bank up to date stands for the whole PSD flash.
    if (reported < constante::BankComponents) {
        for (unsigned bank = 0; bank < constante::BankComponents; ++bank)
            RemarkComponentLines(ComponentLines, bank);
    } else {
        RemarkComponentLines(ComponentLines, reported);
    }
}

void TUpdateSession::SkipFailedCard(TGestionnaire&, std::int32_t card)
{
    const std::string cardLine = constante::PrefixComponent + std::string(1, HexDigit(static_cast<unsigned>(card)));
    TellSkipped(cardLine, TSkipReason::CardAbsent);
    RemarkLines(ScriptLines, {cardLine});
}

void TUpdateSession::CardReady(TGestionnaire&, std::int32_t) {}

void TUpdateSession::FilterMainScriptManual()
{
    if (Manual && !Selection.Motherboard) {
        TellSkipped(constante::ManualMotherboard, TSkipReason::Unchecked);
        RemarkLines(ScriptLines, {constante::PrefixMotherboard});
    }
}

void TUpdateSession::FilterComponentScriptManual()
{
    if (!Manual || ComponentIndex != constante::MotherboardComponent)
        return;
    if (!Selection.Mcu)
        TellSkipped(constante::ManualMcu, TSkipReason::Unchecked);
    if (!Selection.Prom1)
        TellSkipped(constante::ManualProm1, TSkipReason::Unchecked);
    for (unsigned component = 0; component <= constante::JtagComponent; ++component) {
        const bool bank = component < constante::BankComponents;
        if ((bank && !Selection.Mcu) || (!bank && !Selection.Prom1))
            RemarkComponentLines(ComponentLines, component);
    }
}
