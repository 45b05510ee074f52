#pragma once
// Whether the window system the program is about to use can be reached at all.
#include <QString>

// Empty when the display can be opened (or another platform than X11 is in use, which Qt checks
// itself); otherwise why not, in words for one line on standard error.
QString DisplayProblem();
