// The window on a Linux desktop: the desktop's colours (a dark palette as KDE's and GNOME's dark
// themes give one), any screen size, the keyboard, the menus.
#include "tests/find_controls.h"
#include "tests/helpers.h"
#include "widgets/controls.h"
#include "window/main_window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QAbstractScrollArea>
#include <QHash>
#include <QComboBox>
#include <QFile>
#include <QSet>
#include <QAction>
#include <QShortcut>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The palette of a dark desktop theme.
QPalette Dark()
{
    QPalette p;
    const QColor window(53, 53, 53), base(35, 35, 35), text(230, 230, 230);
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::Window, window);
        p.setColor(group, QPalette::WindowText, text);
        p.setColor(group, QPalette::Base, base);
        p.setColor(group, QPalette::AlternateBase, window);
        p.setColor(group, QPalette::Text, text);
        p.setColor(group, QPalette::Button, window);
        p.setColor(group, QPalette::ButtonText, text);
        p.setColor(group, QPalette::Highlight, QColor(42, 130, 218));
        p.setColor(group, QPalette::HighlightedText, Qt::black);
        p.setColor(group, QPalette::PlaceholderText, QColor(160, 160, 160));
        p.setColor(group, QPalette::ToolTipBase, base);
        p.setColor(group, QPalette::ToolTipText, text);
    }
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(127, 127, 127));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(127, 127, 127));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(127, 127, 127));
    p.setColor(QPalette::Disabled, QPalette::Window, window);
    p.setColor(QPalette::Disabled, QPalette::Base, window);
    p.setColor(QPalette::Disabled, QPalette::Button, window);
    return p;
}

// The colour a widget's text is drawn in, and what it stands on.
std::pair<QColor, QColor> TextOn(const QWidget *w)
{
    const QPalette &p = w->palette();
    const QPalette::ColorGroup group = w->isEnabled() ? QPalette::Active : QPalette::Disabled;
    if (qobject_cast<const QLineEdit *>(w))
        return {p.color(group, QPalette::Text), p.color(group, QPalette::Base)};
    if (auto *b = qobject_cast<const QPushButton *>(w); b && !b->isFlat())
        return {p.color(group, QPalette::ButtonText), p.color(group, QPalette::Button)};
    if (qobject_cast<const QPushButton *>(w))
        return {p.color(group, QPalette::ButtonText), p.color(group, QPalette::Window)};
    return {p.color(group, w->foregroundRole()), p.color(group, QPalette::Window)};
}

// How a text shows as drawn: the most common colour of its rectangle in `picture` is what it
// stands on, the pixel farthest from that in contrast is its ink.
double DrawnContrast(const QImage &picture, const QRect &rect)
{
    QHash<QRgb, int> counts;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            ++counts[picture.pixel(x, y)];
    QRgb background = 0;
    int most = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > most)
            most = it.value(), background = it.key();
    double best = 1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        best = std::max(best, widgets::ContrastRatio(QColor(it.key()), QColor(background)));
    return best;
}

}  // namespace

// Every text the window shows is readable on a dark palette: labels, check boxes, group boxes,
// fields, buttons, the Read and Write captions and the marks, at 4.5:1 at least (disabled texts
// at 3:1, as they are meant to recede).
TEST(Look, EveryTextIsReadableOnADarkPalette)
{
    const QPalette before = QApplication::palette();
    {
        SettingsFile none;
        MainWindow form(RecordedParts(QStringLiteral(FUSEWERK_TRANSCRIPTS)));
        // The desktop turns dark while the window is open, as a theme switch does.
        QApplication::setPalette(Dark());
        Ui(form).deviceBox->setEditText("ATmega328P");
        Ui(form).byteEditor(Low)->hexField()->setMaskedText("E2");
        Ui(form).programmerBox->setEditText("usbasp");
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        if (qEnvironmentVariableIsSet("FUSEWERK_LOOK_PICTURE"))
            form.grab().save(qEnvironmentVariable("FUSEWERK_LOOK_PICTURE"));
        int seen = 0;
        for (QWidget *w : form.findChildren<QWidget *>()) {
            if (!w->isVisibleTo(&form))
                continue;
            QString text;
            if (auto *l = qobject_cast<QLabel *>(w))
                text = l->text();
            else if (auto *b = qobject_cast<QAbstractButton *>(w))
                text = b->text();
            else if (auto *e = qobject_cast<QLineEdit *>(w))
                text = e->text();
            else if (auto *g = qobject_cast<QGroupBox *>(w))
                text = g->title();
            if (text.trimmed().isEmpty())
                continue;
            ++seen;
            const auto [fg, bg] = TextOn(w);
            const double wanted = w->isEnabled() ? 4.5 : 3.0;
            EXPECT_GE(widgets::ContrastRatio(fg, bg), wanted)
                << w->metaObject()->className() << " " << w->objectName().toStdString() << " \"" << text.toStdString()
                << "\": " << fg.name().toStdString() << " on " << bg.name().toStdString();
        }
        EXPECT_GT(seen, 100);

        // And as drawn: labels and check boxes on whatever their parents paint below them (a style
        // sheet can keep a background from before the theme changed).
        const QImage picture = form.grab().toImage();
        int drawn = 0;
        for (QWidget *w : form.findChildren<QWidget *>()) {
            auto *box = qobject_cast<QCheckBox *>(w);
            auto *label = qobject_cast<QLabel *>(w);
            if (!w->isVisibleTo(&form) || (!box && !label) || (box ? box->text() : label->text()).trimmed().isEmpty())
                continue;
            QRect rect = w->rect();
            if (box) {
                QStyleOptionButton option;
                option.initFrom(box);
                option.text = box->text();
                rect = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
            }
            rect = QRect(w->mapTo(&form, rect.topLeft()), rect.size()).intersected(picture.rect());
            const QWidget *area = w->parentWidget();
            while (area && !qobject_cast<const QAbstractScrollArea *>(area))
                area = area->parentWidget();
            if (area)  // only what its scroll area shows
                rect = rect.intersected(QRect(area->mapTo(&form, QPoint(0, 0)), area->size()));
            if (rect.width() < 8 || rect.height() < 8)
                continue;
            ++drawn;
            EXPECT_GE(DrawnContrast(picture, rect), w->isEnabled() ? 4.5 : 3.0)
                << w->metaObject()->className() << " " << w->objectName().toStdString() << " \""
                << (box ? box->text() : label->text()).toStdString() << "\" as drawn";
        }
        EXPECT_GT(drawn, 60);
    }
    QApplication::setPalette(before);
}

// The keyboard alone: Tab from the first control visits every control in reading order (the byte
// editors' Read and Write among them, the panel after the form, the output last) and comes round
// again; Shift+Tab goes back; Return in the command line runs Execute.
TEST(Keys, TabVisitsEveryControlInReadingOrder)
{
    QFile::remove(OwnDir() + "/runs.log");
    StandIn tool(QStringLiteral(R"(echo "$*" >> "%1/runs.log")").arg(OwnDir()));
    auto form = MakeForm("ATmega8", "usbasp");
    form->resize(800, 550);  // the smallest: what Tab reaches is scrolled into view
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    Ui(*form).deviceBox->setFocus();
    QList<QWidget *> visited;
    const auto focused = [&] {
        QWidget *w = QApplication::focusWidget();
        while (w && w->parentWidget() && qobject_cast<QComboBox *>(w->parentWidget()))
            w = w->parentWidget();  // an editable box's line is the box
        return w;
    };
    for (int i = 0; i < 400 && (visited.isEmpty() || focused() != visited.front()); ++i) {
        QWidget *now = focused();
        visited << now;
        // In view when it has the focus, however small the window.
        for (QWidget *up = now->parentWidget(); up; up = up->parentWidget())
            if (auto *area = qobject_cast<QAbstractScrollArea *>(up); area && area != now)
                EXPECT_TRUE(area->viewport()->rect().intersects(QRect(now->mapTo(area->viewport(), QPoint(0, 0)), now->size())))
                    << now->objectName().toStdString() << " out of view";
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    ASSERT_EQ(focused(), Ui(*form).deviceBox) << "round again after " << visited.size();
    EXPECT_EQ(visited.back(), Ui(*form).outputPane) << "the output last";
    EXPECT_EQ(QSet<QWidget *>(visited.begin(), visited.end()).size(), visited.size()) << "each once";

    const auto place = [&](const char *name) { return visited.indexOf(form->findChild<QWidget *>(name)); };
    EXPECT_GE(place("SpeedButton7"), 0) << "the low fuse's Write";
    EXPECT_LT(place("Edit4"), place("FlashWrite"));
    EXPECT_LT(place("SpeedButton1"), place("SpeedButton7"));
    EXPECT_LT(place("SpeedButton7"), place("MaskEdit30"));
    EXPECT_LT(place("MaskEdit30"), place("SpeedButton2")) << "one byte's group, then the next";
    EXPECT_LT(place("BitBtn1"), place("ReadAllFuses")) << "the panel after the form";
    // Every button the mouse can press, the panel's and the form's.
    for (QAbstractButton *button : form->findChildren<QAbstractButton *>())
        if (button->isVisible() && button->isEnabled() && !button->objectName().startsWith("qt_"))
            EXPECT_TRUE(visited.contains(button)) << button->objectName().toStdString() << " \""
                                                  << button->text().toStdString() << "\"";

    // Back again.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    EXPECT_EQ(focused(), Ui(*form).outputPane);

    // Return in the command line is Execute.
    Ui(*form).commandLine->setFocus();
    QTest::keyClick(Ui(*form).commandLine, Qt::Key_Return);
    WaitForRun(*form);
    QFile log(OwnDir() + "/runs.log");
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(log.readAll()).trimmed(), "-p m8 -c usbasp");
}

// The menus: each action that is a button's is enabled exactly when its button is, before, during
// and after a run; every key the window answers to is one a menu lists.
TEST(Menus, EachActionFollowsItsButton)
{
    StandIn tool(QStringLiteral("sleep 1"));
    auto form = MakeForm("ATmega8", "usbasp");
    form->show();
    QList<std::pair<QAction *, QAbstractButton *>> pairs;
    for (QAction *action : form->findChildren<QAction *>())
        if (action->objectName().startsWith("Action_"))
            if (auto *button = form->findChild<QAbstractButton *>(action->objectName().mid(7)))
                pairs.append({action, button});
    ASSERT_GE(pairs.size(), 10);
    const auto same = [&](const char *when) {
        for (const auto &[action, button] : pairs)
            EXPECT_EQ(action->isEnabled(), button->isEnabled()) << action->objectName().toStdString() << " " << when;
    };
    same("at the start");
    Ui(*form).deviceBox->setEditText("");
    same("without a device");
    Ui(*form).deviceBox->setEditText("ATmega8");
    QTest::mouseClick(Ui(*form).executeButton, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Ui(*form).executeButton->isEnabled(); }, 2000));
    same("during a run");
    WaitForRun(*form);
    same("after the run");

    // The window's keys are the menus' keys.
    QSet<QString> listed;
    for (QAction *action : form->findChildren<QAction *>())
        if (!action->shortcut().isEmpty() && !action->associatedObjects().isEmpty())
            listed << action->shortcut().toString();
    for (const QString &key : {"Ctrl+Z", "Ctrl+Shift+Z", "Ctrl+F", "Ctrl+O", "Ctrl+Q", "Ctrl+Return", "F1", "F5", "Esc"})
        EXPECT_TRUE(listed.contains(key)) << key.toStdString();
    for (const QShortcut *key : form->findChildren<QShortcut *>())  // a dialog's own keys are its own
        EXPECT_NE(key->parentWidget()->window(), form.get()) << key->key().toString().toStdString() << ": a key no menu lists";
}
