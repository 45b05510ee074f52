#pragma once
// What makes the window at home on a Linux desktop: tooltips that say what each button and each
// avrdude option does.
#include "compose/vocabulary.h"
#include "window/controls.h"

void SetToolTips(const window::Controls &ui, const compose::Vocabulary &words);
