#pragma once
// SIGTERM, SIGINT and SIGHUP, turned into a call on the event loop: the program then ends as a close
// of its window does (the run stopped, the settings saved) instead of dying on the spot.
#include <functional>

// Installs the handlers; `onSignal` runs on the event loop, once per signal received.
void CallOnTerminationSignals(std::function<void()> onSignal);
