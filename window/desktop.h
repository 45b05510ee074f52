#pragma once
// What makes the window at home on a Linux desktop: tooltips that say what each button and each
// avrdude option does.
#include "compose/vocabulary.h"
#include "window/controls.h"

void SetToolTips(const window::Controls &ui, const compose::Vocabulary &words);

// Tooltips of plain text shown as Qt shows rich text: wrapped at a readable width (about 80
// characters) instead of one line across the screen. Installed once on the application.
void WrapToolTips();
