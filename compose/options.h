#pragma once
// The option and exit-mode boxes: everything the program knows of each box, in one row.
#include "compose/form_state.h"

#include <cstddef>

namespace compose {

template <typename Group>
struct SwitchBox {
    const char *name;         // the control's name
    bool Group::*member;      // its value in a window snapshot
    const char *flag;        // its piece of a command line
    const char *caption;
    const char *key;         // its settings key in "Config"
    const char *tooltip;     // avrdude's own description of the flag
};
using OptionBox = SwitchBox<FormState::Options>;

// In screen order, left column first; the settings keys and the command line follow that order
// (lower-case -v comes before upper-case -V).
inline constexpr OptionBox OptionTable[] = {
    {"CheckBox1", &FormState::Options::disableAutoErase, "-D ", "-D Disable auto erase for flash", "Opt1",
     "-D: disable auto erase for flash memory. Without it, avrdude erases the whole chip before it writes "
     "the flash. Implies -A (trailing 0xff bytes are not removed)."},
    {"CheckBox2", &FormState::Options::chipErase, "-e ", "-e Perform a chip erase", "Opt2",
     "-e: perform a chip erase. Flash and EEPROM become 0xff and all lock bits are cleared."},
    {"CheckBox7", &FormState::Options::overrideSignature, "-F ", "-F Override the device signature check", "Opt3",
     "-F: override avrdude's signature check. avrdude then goes on even when the device signature is wrong "
     "or unreadable; this does not verify the signature, it skips that check. Use with care: it can program "
     "the wrong chip."},
    {"CheckBox8", &FormState::Options::noWrite, "-n ", "-n Don't write to the device", "Opt4",
     "-n: do not write anything to the device (a dry run)."},
    {"CheckBox9", &FormState::Options::quiet, "-q ", "-q Disable process bar output", "Opt5",
     "-q: quell the progress bar while reading or writing."},
    {"CheckBox10", &FormState::Options::terminal, "-t ", "-t Terminal mode", "Opt6",
     "-t: enter avrdude's interactive terminal mode instead of reading or writing files. Here it ends at "
     "once, as nothing is typed into it."},
    {"CheckBox12", &FormState::Options::verbose, "-v ", "-v Enable verbose output", "Opt7", "-v: verbose output."},
    {"CheckBox11", &FormState::Options::noVerify, "-V ", "-V Disable verify check", "Opt8",
     "-V: do not verify after writing."},
};

struct ExitModeBox : SwitchBox<FormState::ExitModes> {
    std::size_t partner;  // the row of the box it excludes
};

// In screen order, which is also the order of their settings keys and command-line pieces.
inline constexpr ExitModeBox ExitModeTable[] = {
    {{"CheckBox13", &FormState::ExitModes::reset, "-E reset ", "Reset", "ExitMode1",
      "-E reset: leave /RESET active (held low) at exit, keeping the chip in reset."},
     1},
    {{"CheckBox14", &FormState::ExitModes::noReset, "-E noreset ", "No Reset", "ExitMode2",
      "-E noreset: release /RESET at exit, so the program on the chip runs while the programmer stays "
      "connected."},
     0},
    {{"CheckBox15", &FormState::ExitModes::vcc, "-E vcc ", "Vcc", "ExitMode3",
      "-E vcc: leave the parallel port pins that supply Vcc active (high) at exit."},
     3},
    {{"CheckBox16", &FormState::ExitModes::noVcc, "-E novcc ", "No Vcc", "ExitMode4",
      "-E novcc: pull the parallel port's Vcc pins low at exit."},
     2},
};

}  // namespace compose
