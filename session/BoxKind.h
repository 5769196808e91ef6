// The kinds of modal message box a run or a window asks for.
#pragma once

enum class TBoxKind {
    Error,
    Warning,
    Information,
    // Asks the operator to go on or not: OK or Cancel.
    Question,
};
