#pragma once
// Message boxes and the warning tone, each behind a hook so that tests can watch them.
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

enum class MessageKind { Information, Warning, Error };

// Every box is titled with the application title (the application display name).
void ShowMessage(QWidget *parent, MessageKind kind, const QString &text);
// An error that escaped a handler: its text with a full stop appended when the last character
// comes after "." in the character order.
QString ErrorBoxText(const QString &text);
void ShowError(QWidget *parent, const QString &text);
// The error box with a second button beside OK (the default, and Escape); true when the user chose
// the second. Watched as an error message, answered as a question.
bool ShowErrorOffering(QWidget *parent, const QString &text, const QString &second);

using MessageHook = std::function<void(MessageKind, const QString &title, const QString &text)>;
MessageHook SetMessageHook(MessageHook hook);  // returns the previous hook; empty means real boxes

// A question with two answers; the second is the default and Escape's. True for the first.
bool AskQuestion(QWidget *parent, const QString &text, const QString &yes, const QString &no);
using QuestionHook = std::function<bool(const QString &text)>;
QuestionHook SetQuestionHook(QuestionHook hook);

// One of `items` picked by the user, or empty when cancelled. Tests put their own choice.
QString ChooseOne(QWidget *parent, const QString &text, const QStringList &items);
using ChoiceHook = std::function<QString(const QString &text, const QStringList &items)>;
ChoiceHook SetChoiceHook(ChoiceHook hook);

// A tone of the given frequency and length: through the sound system where there is an audio
// output, the desktop bell otherwise. Returns at once; never fails.
void PlayTone(int hertz, int milliseconds);
using ToneHook = std::function<void(int hertz, int milliseconds)>;
ToneHook SetToneHook(ToneHook hook);
