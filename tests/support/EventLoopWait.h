// Bounded waits on the Qt event loop, for tests of code driven by it.
#pragma once

#include <functional>

// Runs the event loop until condition holds or timeoutMs has passed; the
// condition's value at the end.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);
// Runs the event loop until everything posted so far has been handled.
void RunPostedEvents();
