#include "window/messages.h"

#include "window/tone.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {
MessageHook &messageHook()
{
    static MessageHook hook;
    return hook;
}
ToneHook &toneHook()
{
    static ToneHook hook;
    return hook;
}
QuestionHook &questionHook()
{
    static QuestionHook hook;
    return hook;
}
ChoiceHook &choiceHook()
{
    static ChoiceHook hook;
    return hook;
}
}  // namespace

QString ErrorBoxText(const QString &text)
{
    if (!text.isEmpty() && text.back() > QLatin1Char('.'))
        return text + QLatin1Char('.');
    return text;
}

void ShowMessage(QWidget *parent, MessageKind kind, const QString &text)
{
    const QString title = QGuiApplication::applicationDisplayName();
    if (messageHook()) {
        messageHook()(kind, title, text);
        return;
    }
    const auto icon = kind == MessageKind::Error     ? QMessageBox::Critical
                      : kind == MessageKind::Warning ? QMessageBox::Warning
                                                     : QMessageBox::Information;
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

void ShowError(QWidget *parent, const QString &text) { ShowMessage(parent, MessageKind::Error, ErrorBoxText(text)); }

bool AskQuestion(QWidget *parent, const QString &text, const QString &yes, const QString &no)
{
    if (questionHook())
        return questionHook()(text);
    QMessageBox box(QMessageBox::Question, QGuiApplication::applicationDisplayName(), text, QMessageBox::NoButton,
                    parent);
    QPushButton *first = box.addButton(yes, QMessageBox::AcceptRole);
    QPushButton *second = box.addButton(no, QMessageBox::RejectRole);
    box.setDefaultButton(second);
    box.setEscapeButton(second);
    box.exec();
    return box.clickedButton() == first;
}

bool ShowErrorOffering(QWidget *parent, const QString &text, const QString &second)
{
    const QString title = QGuiApplication::applicationDisplayName();
    if (messageHook()) {
        messageHook()(MessageKind::Error, title, ErrorBoxText(text));
        return questionHook() && questionHook()(second);
    }
    QMessageBox box(QMessageBox::Critical, title, ErrorBoxText(text), QMessageBox::Ok, parent);
    QPushButton *other = box.addButton(second, QMessageBox::DestructiveRole);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    box.exec();
    return box.clickedButton() == other;
}

QuestionHook SetQuestionHook(QuestionHook hook) { return std::exchange(questionHook(), std::move(hook)); }

MessageHook SetMessageHook(MessageHook hook) { return std::exchange(messageHook(), std::move(hook)); }

void PlayTone(int hertz, int milliseconds)
{
    if (toneHook()) {
        toneHook()(hertz, milliseconds);
        return;
    }
    Tone::Instance().Play(hertz, milliseconds);
}

ToneHook SetToneHook(ToneHook hook) { return std::exchange(toneHook(), std::move(hook)); }

QString ChooseOne(QWidget *parent, const QString &text, const QStringList &items)
{
    if (choiceHook())
        return choiceHook()(text, items);
    bool ok = false;
    const QString chosen =
        QInputDialog::getItem(parent, QGuiApplication::applicationDisplayName(), text, items, 0, false, &ok);
    return ok ? chosen : QString();
}

ChoiceHook SetChoiceHook(ChoiceHook hook) { return std::exchange(choiceHook(), std::move(hook)); }
