#pragma once
// The boards of the installed Arduino cores on the window, as the Arduino IDE's Tools menu shows
// them: the board choice (one entry a board, grouped by core, filtered by typing), one choice for
// each of the board's menus beside it, Burn Bootloader, Show Lines, the board's upload settings and
// a core folder the user adds. Choosing a board or an option selects the part and shows the values
// the burn would write in the byte editors and the panel; nothing is written until Burn Bootloader.
#include "boards/boards.h"
#include "boards/burn.h"
#include "window/controls.h"

#include <QObject>

#include <vector>

namespace session {
class ChipSession;
}

namespace window {

class BoardView : public QObject {
    Q_OBJECT
public:
    BoardView(const Controls &ui, session::ChipSession &session, QWidget *window);

    // Finds the cores (with `coreFolder`, the user's own, when not empty) and lists their boards;
    // `selected` (an FQBN, or an older board key) is chosen again with `options` ("menu=option,...")
    // without applying it.
    void load(const QString &coreFolder, const QString &selected, const QString &options = {});
    const QString &coreFolder() const { return coreFolder_; }
    // The chosen board; null for none.
    const boards::Board *board() const;
    const boards::Options &options() const { return options_; }
    QString optionsText() const { return board() ? board()->optionsText(options_) : QString(); }
    // What Burn Bootloader would run for the board and options now.
    boards::BurnPlan plan() const;
    const std::vector<boards::Board> &boards() const { return boards_; }
    // The board `fqbn` found on `port`, chosen as a user would: the board, its upload setting
    // (programmer, speed, -D) and the port.
    void chooseOnPort(const QString &fqbn, const QString &port);

signals:
    // The board's upload setting came into force or ended: the command line follows.
    void uploadSettingChanged();

private:
    void markBoards();
    void pick(int index);
    void showMenus();
    void apply();
    void showStatus();
    void burn();
    void showLines();
    void useForUpload();
    void endUpload();
    // The device was changed to another part: the board is set aside, and the user told so.
    void setAside(const QString &device);
    void addCore();

    const Controls &ui_;
    session::ChipSession &session_;
    QWidget *window_;
    QString coreFolder_;
    std::vector<boards::Board> boards_;
    std::vector<int> rowOf_;  // each board's row in the list (the cores' headings stand between)
    boards::Options options_;
    QString part_;           // the chosen board's part, by its name in the device list
    QString protocol_;       // the upload setting's programmer while it is in force
    bool applying_ = false;  // the board itself is changing the device
};

}  // namespace window
