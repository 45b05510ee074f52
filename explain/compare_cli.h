#pragma once
#include <QStringList>

// "fusewerk --compare FILE[:FORMAT] -p PART -c PROGRAMMER [-P PORT] [--memory MEMORY]": reads the
// memory (flash unless told) from the chip and prints each range where it differs from the file,
// then the counts. 0: every byte the file gives is the chip's; 1: some differ; 2: no comparison.
int RunCompare(const QStringList &arguments);
