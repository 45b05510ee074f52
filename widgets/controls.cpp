#include "widgets/controls.h"

#include <QLineEdit>

namespace widgets {

ComboBox::ComboBox(const QStringList &items, const QString &text, QWidget *parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);  // texts are compared exactly; completion would change what the user typed
    addItems(items);
    setCurrentIndex(-1);
    setEditText(text);
    connect(this, &QComboBox::editTextChanged, this, &ComboBox::Change);
}

int ComboBox::ItemIndex() const
{
    // A text typed over the selected entry means no entry is selected any more.
    const int index = currentIndex();
    return index >= 0 && itemText(index) == currentText() ? index : -1;
}

void ComboBox::SetItemIndex(int index)
{
    const QSignalBlocker quiet(this);
    const QString keep = currentText();
    if (index == -1) {
        setCurrentIndex(-1);
        setEditText(keep);
        return;
    }
    setCurrentIndex(index);  // past the list selects nothing and shows the empty text
    if (index < 0 || index >= count())
        setEditText(QString());
}

SpeedButton::SpeedButton(const QString &caption, const QColor &color, QWidget *parent) : QPushButton(caption, parent)
{
    setFlat(true);
    setFocusPolicy(Qt::NoFocus);
    QPalette pal = palette();
    pal.setColor(QPalette::ButtonText, color);
    setPalette(pal);
}

}  // namespace widgets
