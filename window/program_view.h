#pragma once
// "Program Chip": a whole chip from one ELF file, board after board, with the window's programmer
// and port (said in the dialog). The file's fuse and lock values are shown in the byte editors and
// the panel as soon as it is chosen; Program Chip (no default button: Return in a field programs
// nothing; after a board the button has the focus, so Space programs the next) reads the chip's
// signature, then erases and writes flash, EEPROM, a serial number, the fuses and the lock in one
// run; Verify Chip compares. A file built for another part offers the switch to it. A counter of
// boards done and failed, and a CSV log with a line per board. Close or Escape closes it.
#include "production/program_plan.h"
#include "window/controls.h"

#include <QDialog>
#include <QTemporaryDir>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace session {
class ChipSession;
struct ProgramResult;
}
namespace settings {
struct Saved;
}

namespace window {

class ProgramDialog : public QDialog {
    Q_OBJECT
public:
    ProgramDialog(const Controls &ui, session::ChipSession &session, QWidget *window);

    void load(const settings::Saved &saved);
    void store(settings::Saved &saved) const;
    // Shows the file's values for the part now chosen (after a device change too), and the programmer
    // and port it will use.
    void showFile();

signals:
    // A board was done: the next serial number must survive a crash.
    void boardDone();

private:
    std::optional<production::ProgramPlan> plan(bool verify);
    void start(bool verify);
    void finished(const session::ProgramResult &result);
    void browse(QLineEdit *field, const QString &filter, bool save);

    const Controls &ui_;
    session::ChipSession &session_;
    QLineEdit *file_, *log_, *serialAddress_, *serialNext_;
    QCheckBox *serialOn_;
    QLabel *values_, *count_, *target_;
    QPushButton *program_, *verify_, *switch_, *close_;
    QTemporaryDir temp_;
    QString serialWritten_;  // the serial number of the board under way
    bool mine_ = false;      // the run under way is this dialog's
    int done_ = 0, failed_ = 0;
};

}  // namespace window
