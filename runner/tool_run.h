#pragma once
// Where a run looks for the program named first on its line.
#include <QString>

namespace runner {

// The running program's own directory (looked in first), and the PATH of its environment.
QString OwnDirectory();
QString SearchPath();

}  // namespace runner
