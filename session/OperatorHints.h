// What a session tells the operator to use, in the words of the view that shows
// it: the window has a START button, a Port menu and STOP; the window of several
// cards adds its cards from a list; batch mode has options and Ctrl+C.
#pragma once

#include "constante.h"

struct TOperatorHints {
    // "Click on button START to begin program operation" on every idle step.
    bool IdlePrompt = true;
    // Where another serial device is chosen, after "choose the device".
    const char* ChooseDevice = constante::HintChooseDeviceWindow;
    // How a run that waits on a silent card is stopped.
    const char* Stop = constante::HintStopWindow;
    // How an update is opened, when the main script is not there.
    const char* OpenUpdate = constante::HintOpenUpdateWindow;
};

inline constexpr TOperatorHints WindowHints{};
inline constexpr TOperatorHints CardsWindowHints{true, constante::HintChooseDeviceCards, constante::HintStopWindow,
                                                constante::HintOpenUpdateCards};
inline constexpr TOperatorHints BatchHints{false, constante::HintChooseDeviceBatch, constante::HintStopBatch,
                                          constante::HintOpenUpdateBatch};
