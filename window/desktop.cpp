#include "window/desktop.h"

#include "window/window_deps.h"

#include <QApplication>
#include <QHelpEvent>
#include <QSerialPortInfo>
#include <QTextDocument>
#include <QToolTip>

QStringList SerialPortsPresent()
{
    QStringList ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        ports << info.systemLocation();
    return ports;
}

void SetToolTips(const window::Controls &form, const compose::Vocabulary &words)
{
    // The option and exit-mode boxes take theirs from their table.
    std::vector<std::pair<QWidget *, QString>> tips;
    for (const widgets::ByteEditor *editor : form.byteEditors) {
        const QString noun = QString::fromLatin1(editor->row().noun);
        const QString memory = QString::fromLatin1(editor->row().memory);
        tips.emplace_back(editor->readButton(), QStringLiteral("Read the %1 (%2) from the chip").arg(noun, memory));
        tips.emplace_back(editor->writeButton(), QStringLiteral("Write this %1 (%2) to the chip").arg(noun, memory));
    }
    const std::pair<QWidget *, const char *> fixed[] = {
        {form.calibrationRead, "Read the calibration bytes (calibration) from the chip"},
        {form.signatureRead, "Read the signature bytes (signature) from the chip"},
        {form.calibrationWrite, "Write these calibration bytes (calibration) to the chip"},
        {form.flashBrowse, "Choose the flash image file (or drop a file on the Flash row)"},
        {form.eepromBrowse, "Choose the EEPROM image file (or drop a file on the EEPROM row)"},
        {form.executeButton, "Run the command line with avrdude"},
    };
    for (const auto &[widget, text] : fixed)
        tips.emplace_back(widget, QString::fromUtf8(text));
    for (const auto &[widget, text] : tips)
        widget->setToolTip(text);

    // Each programmer entry says what avrdude calls it, or that this avrdude does not know it.
    if (!words.knowsProgrammers())
        return;
    for (int i = 1; i < form.programmerBox->count(); ++i) {
        const QString id = form.programmerBox->itemText(i);
        const compose::InstalledProgrammer *known = words.findProgrammer(id);
        form.programmerBox->setItemData(
            i, known ? known->description : QStringLiteral("The installed avrdude does not know the programmer \"%1\".").arg(id),
            Qt::ToolTipRole);
    }
}

namespace {

class ToolTipWrap : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::ToolTip && watched->isWidgetType()) {
            auto *widget = static_cast<QWidget *>(watched);
            if (const QString tip = widget->toolTip(); tip.size() > 60 && !Qt::mightBeRichText(tip)) {
                QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(),
                                   QStringLiteral("<p style='white-space:pre-wrap'>%1</p>").arg(tip.toHtmlEscaped()), widget);
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

void WrapToolTips()
{
    static ToolTipWrap *wrap = nullptr;
    if (!wrap) {
        wrap = new ToolTipWrap(qApp);
        qApp->installEventFilter(wrap);
    }
}
