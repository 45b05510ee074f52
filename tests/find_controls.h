#pragma once
// A window's controls, found by their design names, as a test, a benchmark or a tool finds them.
#include "window/controls.h"

window::Controls Ui(const QWidget &window);
