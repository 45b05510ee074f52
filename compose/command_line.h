#pragma once
// The main avrdude command line, and the pieces the single-byte commands share with it.
#include "compose/form_state.h"
#include "compose/vocabulary.h"

namespace compose {

// "avrdude.exe " followed by the device, programmer and port pieces; the device's part code is the
// vocabulary's.
QString ProgramAndTarget(const FormState &s, const Vocabulary &words = OwnListsOnly());
// "-D " ... "-V " for the checked option boxes, in their fixed order.
QString OptionPieces(const FormState &s);
// "-E reset " ... "-E novcc " for the checked exit-mode boxes.
QString ExitModePieces(const FormState &s);

// The whole line for the window state; every supplied piece ends in one blank, extra options last.
// A board's upload setting in force: "-b SPEED -D " (the -D where the option box has not put it); empty without one.
QString UploadPieces(const FormState &s);
QString BuildCommandLine(const FormState &s, const Vocabulary &words = OwnListsOnly());

}  // namespace compose
