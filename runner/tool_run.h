#pragma once
// Where a run looks for the program named first on its line.
#include <QProcessEnvironment>
#include <QString>

namespace runner {

// The running program's own directory (looked in first), and the PATH of its environment.
QString OwnDirectory();
QString SearchPath();

// The environment every run of the tool gets: the user's, less what would change how avrdude reads
// its line or what it runs (POSIXLY_CORRECT stops getopt at the first word that is no option; the
// loader's LD_PRELOAD and LD_AUDIT put other code into it), with the C locale for its messages, which
// the output watches read.
QProcessEnvironment ToolEnvironment(const QProcessEnvironment &from = QProcessEnvironment::systemEnvironment());

}  // namespace runner
