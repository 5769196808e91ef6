// The filters of TMainFich that turn script lines into remarks: components
// already up to date (Auto mode), cards that do not answer their ping, and the
// operator's choice in the Component Selection dialog (Manual mode).
#include "main.h"

#include "CompDlg.h"
#include "LineFilters.h"
#include "constante.h"
#include "hex.h"

#include <QAction>
#include <QCheckBox>

void TMainFich::SkipUpToDate(TGestionnaire&, std::int32_t component)
{
    if (!MAuto->isChecked())
        return;
    const auto reported = static_cast<unsigned>(component);
    // One bank up to date stands for the whole PSD flash.
    if (reported < constante::BankComponents) {
        for (unsigned bank = 0; bank < constante::BankComponents; ++bank)
            RemarkComponentLines(ComponentLines, bank);
    } else {
        RemarkComponentLines(ComponentLines, reported);
    }
}

void TMainFich::SkipFailedCard(TGestionnaire&, std::int32_t card)
{
    RemarkLines(ScriptLines, {constante::PrefixComponent + std::string(1, HexDigit(static_cast<unsigned>(card)))});
}

void TMainFich::CardReady(TGestionnaire&, std::int32_t) {}

void TMainFich::FilterMainScriptManual()
{
    if (MManual->isChecked() && !CompSel->CBMB->isChecked())
        RemarkLines(ScriptLines, {constante::PrefixMotherboard});
}

void TMainFich::FilterComponentScriptManual()
{
    if (!MManual->isChecked() || ComponentIndex != constante::MotherboardComponent)
        return;
    for (unsigned component = 0; component <= constante::JtagComponent; ++component) {
        const bool bank = component < constante::BankComponents;
        if ((bank && !CompSel->CBMBMCU->isChecked()) || (!bank && !CompSel->CBMBPROM1->isChecked()))
            RemarkComponentLines(ComponentLines, component);
    }
}
