#pragma once
// "Program Chip": a whole chip from one ELF file, board after board, with the window's programmer
// and port (said in the dialog). The file's fuse and lock values are shown in the byte editors and
// the panel as soon as it is chosen; Program Chip (no default button: Return in a field programs
// nothing; after a board the button has the focus, so Space programs the next) reads the chip's
// signature, then erases and writes flash, EEPROM, a serial number, the fuses and the lock in one
// run; Verify Chip compares. A file built for another part offers the switch to it. A counter of
// boards done and failed, and a CSV log with a line per board. Close or Escape closes it.
// Several programmers at once: the stations list (each "-c ID -P PORT", typed or taken from the
// programmers plugged in); Program Chip then programs a board on every station side by side, each
// row saying where its board stands. Without stations listed, the window's programmer is the one.
#include "production/disk_writer.h"
#include "production/program_plan.h"
#include "production/stations.h"
#include "window/controls.h"

#include <functional>

#include <QDialog>
#include <QTemporaryDir>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace session {
class ChipSession;
struct BoardEnd;
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
    // The programmers plugged in, as stations ("Add Attached" adds those not listed).
    void setAttached(std::vector<production::Station> attached);
    // Hands the settings file to `disk` to be written, as the window stands; `keep` does it. A board
    // starts only once the file holding its serial number is on the disk.
    void setKeepSettings(production::DiskWriter *disk, std::function<void()> keep)
    {
        disk_ = disk;
        keepSettings_ = std::move(keep);
    }
    // The stations a board goes to: those listed, or the window's programmer and port.
    std::vector<production::Station> stations() const;

signals:
    // A board was done: the settings are kept.
    void boardDone();

private:
    std::optional<production::ProgramPlan> plan(bool verify);
    void start(bool verify);
    void finished(const session::ProgramResult &result);
    void browse(QLineEdit *field, const QString &filter, bool save);
    void addStation(const QString &text);
    void showStations();
    void showStation(int row);
    void boardEnded(const session::BoardEnd &end);
    // The book of serial numbers as the next-number field stands: typed anew, it begins there.
    void takeNextField();
    void showNextSerial();
    void keepBook(production::SerialBook book);

    const Controls &ui_;
    session::ChipSession &session_;
    QLineEdit *file_, *log_, *serialAddress_, *serialNext_;
    QCheckBox *serialOn_;
    QLabel *values_, *count_, *target_;
    QPushButton *program_, *verify_, *switch_, *close_;
    QTableWidget *stations_;
    QLineEdit *stationText_;
    QPushButton *addStation_, *addAttached_, *removeStation_;
    std::vector<production::Station> listed_, attached_;
    std::optional<production::SerialLedger> ledger_;
    const production::SerialBook *keeping_ = nullptr;  // the book being written to the settings file
    production::ProgramRequest request_;               // the last one planned
    production::DiskWriter *disk_ = nullptr;
    std::function<void()> keepSettings_;
    QString reissuedNote_;
    QTemporaryDir temp_;
    bool mine_ = false;      // the run under way is this dialog's
    int done_ = 0, failed_ = 0;
};

}  // namespace window
