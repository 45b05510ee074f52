#pragma once
// Small adaptations of Qt's controls to the window's rules.
#include <QComboBox>
#include <QPushButton>

namespace widgets {

// An editable combo box whose change fires for each keystroke and each pick from the list, and
// whose item index set from code fires nothing and, at -1, keeps the text it shows.
class ComboBox : public QComboBox {
    Q_OBJECT
public:
    ComboBox(const QStringList &items, const QString &text, QWidget *parent);
    QString Text() const { return currentText(); }
    void SetText(const QString &text) { setEditText(text); }
    int ItemIndex() const;
    void SetItemIndex(int index);

signals:
    void Change();
};

// A flat button that takes no focus, with a coloured caption.
class SpeedButton : public QPushButton {
    Q_OBJECT
public:
    SpeedButton(const QString &caption, const QColor &color, QWidget *parent);
};

}  // namespace widgets
