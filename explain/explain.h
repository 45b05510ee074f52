#pragma once
// "fusewerk --explain PART [lfuse=HH] [hfuse=HH] [efuse=HH] [lock=HH]": what fuse and lock values mean
// for a part, on standard output, without a display.
#include <QStringList>

// Runs the command on `arguments` (those after --explain); the process's exit status: 0, or 2 for
// an unknown part or a value that is not one hex byte (said on standard error).
int RunExplain(const QStringList &arguments);
