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
