#pragma once
// "fusewerk --explain PART [lfuse=HH] [hfuse=HH] [efuse=HH] [lock=HH]": what fuse and lock values mean
// for a part, on standard output, without a display. A part with fuses of its own (UPDI, TPI,
// XMEGA) takes any of avrdude's names for its fuse memories (syscfg0=C4, fuse5=C4, lock=C5); without
// values, the factory defaults of every fuse its data has; without data, its fuse memories listed.
#include <QStringList>

// Runs the command on `arguments` (those after --explain); the process's exit status: 0, or 2 for
// an unknown part or a value that is not one hex byte (said on standard error).
int RunExplain(const QStringList &arguments);
