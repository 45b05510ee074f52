#pragma once
// The window's menu bar (added to the design): what the buttons do, and what desktop users look for
// (File, Edit, Chip, Help). An action that a button also offers is that button's: it clicks it, and
// is enabled exactly when the button is.
#include "window/controls.h"

#include <QAction>
#include <QMenuBar>

#include <functional>

namespace window {

struct Menus {
    QMenuBar *bar = nullptr;
    QAction *openFlash = nullptr, *openEeprom = nullptr, *saveOutput = nullptr, *quit = nullptr;
    QMenu *recent = nullptr;
    QAction *undo = nullptr, *redo = nullptr, *find = nullptr, *copy = nullptr, *clearOutput = nullptr;
    QAction *execute = nullptr, *readAll = nullptr, *detect = nullptr, *program = nullptr, *memories = nullptr, *burn = nullptr, *stop = nullptr;
    QAction *guide = nullptr, *manual = nullptr, *about = nullptr;
};

// The actions a menu holds that are not a button's, told to the window.
struct MenuHandlers {
    std::function<void()> quit, guide, manual, about;
    std::function<void(const QString &path)> openRecent;
};

Menus MakeMenus(QWidget *window, const Controls &ui, const MenuHandlers &handlers);

// A menu item that is `button`: triggering it clicks the button; it is enabled exactly when the
// button is, however that changes.
QAction *ButtonAction(QAbstractButton *button, const QString &text, const QKeySequence &keys, QObject *parent);

// The recently opened images, the newest first, at most eight; shown in `menu`.
void ShowRecent(QMenu *menu, const QStringList &paths, const std::function<void(const QString &)> &open);
QStringList WithRecent(QStringList paths, const QString &path);

}  // namespace window
