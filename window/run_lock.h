#pragma once
#include <QApplication>
#include <QKeyEvent>
#include <QList>
#include <QPointer>
#include <QWidget>
#include <functional>

// While a tool runs, the window takes no input but Stop: every control is disabled except the run
// strip, input to disabled controls is dropped (never held back and delivered later), and Escape
// anywhere in the window stops the run.
class RunLock : public QObject {
public:
    RunLock(QWidget *form, QWidget *strip) : form_(form)
    {
        for (QWidget *w : form_->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            if (w != strip && w->isEnabled()) {
                w->setEnabled(false);
                disabled_ << w;
            }
        qApp->installEventFilter(this);
    }
    ~RunLock() override
    {
        qApp->removeEventFilter(this);
        for (QWidget *w : disabled_)
            w->setEnabled(true);
    }
    std::function<void()> onEscape;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
            auto *widget = qobject_cast<QWidget *>(watched);
            if (widget && widget->window() == form_) {
                if (onEscape)
                    onEscape();
                return true;
            }
        }
        return false;
    }

private:
    QWidget *form_;
    QList<QPointer<QWidget>> disabled_;
};


