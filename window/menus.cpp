#include "window/menus.h"

#include "widgets/fuse_settings_panel.h"
#include "widgets/output_pane.h"
#include "widgets/run_strip.h"

#include <QAbstractButton>
#include <QEvent>
#include <QFileInfo>

namespace window {
namespace {

constexpr int kMostRecent = 8;

// Keeps an action's enabled state the button's.
class FollowButton : public QObject {
public:
    FollowButton(QAbstractButton *button, QAction *action) : QObject(action), button_(button), action_(action)
    {
        button->installEventFilter(this);
        action->setEnabled(button->isEnabled());
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::EnabledChange)
            action_->setEnabled(button_->isEnabled());
        return false;
    }

private:
    QAbstractButton *button_;
    QAction *action_;
};

}  // namespace

QAction *ButtonAction(QAbstractButton *button, const QString &text, const QKeySequence &keys, QObject *parent)
{
    auto *action = new QAction(text, parent);
    action->setObjectName(QStringLiteral("Action_") + button->objectName());
    action->setShortcut(keys);
    action->setToolTip(button->toolTip());
    QObject::connect(action, &QAction::triggered, button, [button] {
        if (button->isEnabled())
            button->click();
    });
    new FollowButton(button, action);
    return action;
}

QStringList WithRecent(QStringList paths, const QString &path)
{
    if (path.isEmpty())
        return paths;
    paths.removeAll(path);
    paths.prepend(path);
    return paths.mid(0, kMostRecent);
}

void ShowRecent(QMenu *menu, const QStringList &paths, const std::function<void(const QString &)> &open)
{
    menu->clear();
    for (const QString &path : paths) {
        QAction *item = menu->addAction(QFileInfo(path).fileName() + QStringLiteral("  (") + QFileInfo(path).absolutePath() + u')');
        QObject::connect(item, &QAction::triggered, menu, [open, path] { open(path); });
    }
    menu->setEnabled(!paths.isEmpty());
}

Menus MakeMenus(QWidget *window, const Controls &ui, const MenuHandlers &handlers)
{
    Menus m;
    m.bar = new QMenuBar(window);
    m.bar->setObjectName(QStringLiteral("MenuBar"));
    const auto plain = [&](QMenu *menu, const QString &text, const QKeySequence &keys, const QString &name,
                           const std::function<void()> &run) {
        QAction *action = menu->addAction(text);
        action->setObjectName(name);
        action->setShortcut(keys);
        QObject::connect(action, &QAction::triggered, window, run);
        return action;
    };

    QMenu *file = m.bar->addMenu(QStringLiteral("&File"));
    m.openFlash = ButtonAction(ui.flashBrowse, QStringLiteral("Open &Flash Image..."), QKeySequence::Open, window);
    m.openEeprom = ButtonAction(ui.eepromBrowse, QStringLiteral("Open &EEPROM Image..."), QKeySequence(QStringLiteral("Ctrl+Shift+O")), window);
    file->addAction(m.openFlash);
    file->addAction(m.openEeprom);
    m.recent = file->addMenu(QStringLiteral("&Recent Images"));
    m.recent->setObjectName(QStringLiteral("RecentImages"));
    m.recent->setEnabled(false);
    file->addSeparator();
    m.saveOutput = plain(file, QStringLiteral("&Save Output As..."), QKeySequence::Save, QStringLiteral("Action_SaveOutput"),
                         [&ui] { ui.outputPane->saveOutput(); });
    file->addSeparator();
    m.quit = plain(file, QStringLiteral("&Quit"), QKeySequence(QStringLiteral("Ctrl+Q")), QStringLiteral("Action_Quit"), handlers.quit);
    m.quit->setMenuRole(QAction::QuitRole);

    QMenu *edit = m.bar->addMenu(QStringLiteral("&Edit"));
    // Undo and redo of the fuse values, wherever the focus is but in a text field (which keeps its own).
    m.undo = ButtonAction(ui.fuseSettings->undoButton(), QStringLiteral("&Undo a Fuse Value Change"), QKeySequence::Undo, window);
    m.redo = ButtonAction(ui.fuseSettings->redoButton(), QStringLiteral("&Redo a Fuse Value Change"), QKeySequence(QStringLiteral("Ctrl+Shift+Z")), window);
    edit->addAction(m.undo);
    edit->addAction(m.redo);
    edit->addSeparator();
    m.find = plain(edit, QStringLiteral("&Find in the Output..."), QKeySequence::Find, QStringLiteral("Action_Find"),
                   [&ui] { ui.outputPane->openFind(); });
    m.copy = plain(edit, QStringLiteral("&Copy from the Output"), QKeySequence(), QStringLiteral("Action_Copy"),
                   [&ui] { ui.outputPane->copy(); });
    m.clearOutput = plain(edit, QStringLiteral("C&lear Output"), QKeySequence(), QStringLiteral("Action_ClearOutput"),
                          [&ui] { ui.outputPane->showText(QString()); });

    QMenu *chip = m.bar->addMenu(QStringLiteral("&Chip"));
    m.execute = ButtonAction(ui.executeButton, QStringLiteral("&Execute the Command Line"), QKeySequence(QStringLiteral("Ctrl+Return")), window);
    m.readAll = ButtonAction(ui.readAllButton, QStringLiteral("Read &All Fuses"), QKeySequence(Qt::Key_F5), window);
    m.detect = ButtonAction(ui.detectButton, QStringLiteral("&Detect"), QKeySequence(Qt::Key_F6), window);
    m.program = ButtonAction(ui.programButton, QStringLiteral("&Program Chip..."), QKeySequence(QStringLiteral("Ctrl+P")), window);
    m.memories = ButtonAction(ui.memoriesButton, QStringLiteral("&Memories..."), QKeySequence(QStringLiteral("Ctrl+M")), window);
    m.burn = ButtonAction(ui.burnButton, QStringLiteral("&Burn Bootloader"), QKeySequence(), window);
    m.stop = ButtonAction(ui.runStrip->stopButton(), QStringLiteral("&Stop"), QKeySequence(Qt::Key_Escape), window);
    // Escape stops a run wherever the focus is (the run's own lock takes it); here it is said.
    m.stop->setShortcutContext(Qt::WidgetShortcut);
    for (QAction *a : {m.execute, m.readAll, m.detect, m.program, m.memories, m.burn})
        chip->addAction(a);
    chip->addSeparator();
    chip->addAction(m.stop);

    QMenu *help = m.bar->addMenu(QStringLiteral("&Help"));
    m.guide = plain(help, QStringLiteral("Fusewerk &User Guide"), QKeySequence::HelpContents, QStringLiteral("Action_Guide"), handlers.guide);
    m.manual = plain(help, QStringLiteral("avrdude's &Manual"), QKeySequence(), QStringLiteral("Action_Manual"), handlers.manual);
    help->addSeparator();
    m.about = plain(help, QStringLiteral("&About Fusewerk"), QKeySequence(), QStringLiteral("Action_About"), handlers.about);
    m.about->setMenuRole(QAction::AboutRole);
    return m;
}

}  // namespace window
