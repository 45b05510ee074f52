#pragma once
// The one window: a view of the chip session. It shows the session's values and what its runs
// report, hands the user's values and clicks to it, and answers its questions. The controls are its
// own (window/controls.h); each control's objectName is its name in the window's design.
#include "production/disk_writer.h"
#include "session/chip_session.h"
#include "settings/settings.h"
#include "window/controls.h"
#include "window/menus.h"
#include "window/window_deps.h"

#include <QTimer>
#include <QWidget>

#include <memory>

class RunLock;
namespace window {
class BoardView;
class MemoryDialog;
class ProgramDialog;
}

class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(WindowDeps deps = {}, QWidget *parent = nullptr);
    ~MainWindow() override;

    session::ChipSession &session() { return session_; }
    bool running() const { return session_.running(); }
    // The program was told to end: the run under way is stopped, the settings saved (no question
    // asked, no box shown), and the program quits.
    void EndOnSignal();

signals:
    void runFinished();  // a run has ended and the window shows all it brought

protected:
    void closeEvent(QCloseEvent *event) override;  // FormClose
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool focusNextPrevChild(bool next) override;  // Tab in reading order
    bool eventFilter(QObject *watched, QEvent *event) override;  // files dropped on the rows

private:
    void WireEvents();
    void WireSession();
    void FormCreate();  // the settings loaded and shown, the command line built
    bool SaveSettings();  // false when the file could not be written (the user has been told)
    void KeepSettings();  // handed to the disk; the window does not wait for it
    settings::Saved SettingsNow() const;
    // A device change: the fuse layout and the panel follow the part, the signature is unread.
    void DeviceComboBoxChange();
    // Every other change of a value on the command line: the session learns it, the line follows.
    void BuildCommandLine();
    void ApplyFuseLayout();
    void ExitModeClick(std::size_t row);  // a ticked box unticks the one it excludes
    void BrowseInto(QLineEdit *field);
    void Execute();
    void PlaceRunStrip();
    void RunStateChanged(bool running);
    void ShowOutcome(const session::Outcome &outcome);
    void SignatureChange();  // the signature names its chip
    void SignatureMenu(QMenu &menu);
    // A value read from the chip: said in the run strip once the run is over, its field marked for a moment.
    void Found(const QString &what, const QString &value, const QString &before, QWidget *field);
    // Help: the user guide (the README as installed), avrdude's manual, the versions.
    void ShowGuide();
    void ShowManual();
    void ShowAbout();
    void ShowText(const QString &title, const QString &text);  // a long text, in a window of its own
    void Remember(const QString &image);  // an image opened: first of the recent ones
    void RestoreGeometry(const QString &kept);  // "x,y,width,height", or the design's size
    // What is plugged in, offered: attached programmers first in their list, each port with what is
    // on it, a board found on a port one click away, and what keeps the user from opening one.
    void ShowAttached();
    // The port list: the design's entries, the serial ports present, those of what is plugged in.
    QStringList PortEntries() const;

    WindowDeps deps_;
    production::DiskWriter disk_;  // the settings file is written there, one write after another
    session::ChipSession session_;
    window::Controls ui_;
    std::unique_ptr<RunLock> lock_;
    window::BoardView *boards_ = nullptr;  // a child of the window
    window::ProgramDialog *program_ = nullptr;  // Program Chip, a child of the window
    window::MemoryDialog *memories_ = nullptr;  // Memories, a child of the window
    QList<int> savedSplit_;  // the form's and the output's heights before Execute enlarged the output
    bool closeAfterRun_ = false;       // the user chose "Stop and close" during a run
    bool closeWithoutSaving_ = false;  // the user chose to close although the settings could not be saved
    bool ending_ = false;              // told to end by a signal: nobody is there to answer questions
    QStringList found_;                // what the run under way read, for the strip
    window::Menus menus_;
    QStringList recent_;               // the images opened last, the newest first
    QString keptGeometry_;             // the geometry the settings gave
    bool geometryChanged_ = false;     // moved or resized by the user (or the desktop) since it opened
    QTimer *attachedPoll_ = nullptr;   // asks what is plugged in every two seconds
    QString attachedKey_;              // what was plugged in when last asked
    QStringList attachedPorts_;        // the ports of what is plugged in, for the port list
    QStringList toldClosed_;           // devices whose trouble opening them was said already
};
