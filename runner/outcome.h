#pragma once
// How a run ended, in words for the run strip.
#include "runner/tool_process.h"

namespace runner {

// "avrdude finished in 0.90 s", "avrdude failed (exit code 1) after 51.2 s: see the end of the
// output", "avrdude was ended by signal 9 (Killed) after 1.2 s: see the end of the output",
// "Stopped after 3.4 s", "Could not start avrdude.exe: not found beside the program or on PATH".
QString OutcomeText(const ToolEnd &end);

// Why a run did not succeed, as the end of a sentence: "avrdude ended with exit code 1", "avrdude
// was ended by signal 9 (Killed)", "it was stopped", "avrdude could not be started".
QString EndReason(const ToolEnd &end);

// The name of the tool a line ran, for the user: the program's file name without ".exe".
QString ToolName(const QString &program);

}  // namespace runner
