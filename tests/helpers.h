#pragma once
// What the window tests share: stand-in tools, settings files, and watched messages and tones.
#include "tests/printing.h"
#include "window/messages.h"
#include "tests/find_controls.h"
#include "window/window_deps.h"
#include "fuses/fuse_bytes.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class MainWindow;
class QAbstractButton;

using enum fuses::FuseByte;  // byteEditor(Low) ...

// The test program's own directory, where the runner looks first and the settings file lives.
QString OwnDir();

// A stand-in tool: a shell script written beside the test program under `name`.
class StandIn {
public:
    explicit StandIn(const QString &script, const QString &name = QStringLiteral("avrdude.exe"));
    ~StandIn();
    QString Path() const { return path_; }

private:
    QString path_;
};

// A settings file beside the test program for the time of a test; none when `content` is null.
class SettingsFile {
public:
    explicit SettingsFile(const char *content = nullptr);
    ~SettingsFile();
    static QString Path();
    static QString Read();
};

struct Message {
    MessageKind kind;
    QString title, text;
};

// For the time of a test, the guard of everything global a window touches: it records every message
// box, question, choice and tone instead of showing or sounding it, and puts the previous hooks and
// the application's display name back when it goes, however the test ends. Questions get `answer`
// (false: the second button, Cancel); a choice gets what `choose` picks (none: cancelled).
class Watch {
public:
    Watch();
    ~Watch();
    std::vector<Message> messages;
    std::vector<std::pair<int, int>> tones;
    std::vector<QString> questions;
    bool answer = false;
    std::function<void()> whileAsked;  // runs while a question is open, as a user's other program might
    std::function<QString(const QString &text, const QStringList &items)> choose;

private:
    MessageHook previousMessages_;
    ToneHook previousTones_;
    QuestionHook previousQuestions_;
    ChoiceHook previousChoices_;
    QString displayName_;
};

// A window started with no settings file and then set to a device and programmer.
std::unique_ptr<MainWindow> MakeForm(const QString &device = QStringLiteral("ATmega8"),
                                 const QString &programmer = QStringLiteral("usbasp"), WindowDeps deps = {});

// Waits until the window's run (if one is under way) has ended and its handler has done its work.
void WaitForRun(MainWindow &form);
// Clicks a button of the window and waits for the run it starts.
void ClickAndWait(QAbstractButton *button);

// A core's files copied below `home` as a user's sketchbook keeps them (Arduino/hardware/VENDOR/avr),
// every file of `from` with its folders; the core's folder.
QString InstallCore(const QString &home, const QString &from, const QString &vendor);
// The window's vocabulary as Debian's avrdude 7.1 gives it, from the recorded "-p */St" in `transcripts`.
WindowDeps RecordedParts(const QString &transcripts);

// True while the process runs; one that died but was not yet reaped counts as gone.
bool ProcessRuns(qint64 pid);

// Types text into the focused widget the way a user would.
void TypeInto(QWidget *widget, const QString &text);
