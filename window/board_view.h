#pragma once
// The boards of the installed Arduino cores on the window: the board choice, Burn Bootloader, the
// board's upload settings and a core folder the user adds. Choosing a board selects its part and
// shows its fuse and lock values in the byte editors; nothing is written until Burn Bootloader.
#include "boards/boards.h"
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
    // `selected` (a board's key) is chosen again without applying it.
    void load(const QString &coreFolder, const QString &selected);
    const QString &coreFolder() const { return coreFolder_; }
    // The chosen board; null for none.
    const boards::Board *board() const;

private:
    void choose();
    void burn();
    void useForUpload();
    void addCore();

    const Controls &ui_;
    session::ChipSession &session_;
    QWidget *window_;
    QString coreFolder_;
    std::vector<boards::Board> boards_;
};

}  // namespace window
