#pragma once
// What makes the window at home on a Linux desktop: tooltips that say what each button and each
// avrdude option does.
class TForm1;

void SetToolTips(TForm1 &form);
