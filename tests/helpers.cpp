#include "tests/helpers.h"

#include "compose/installed.h"
#include "window/main_window.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QFile>
#include <QGuiApplication>
#include <QAbstractButton>
#include <QTest>
#include <gtest/gtest.h>

QString OwnDir() { return QCoreApplication::applicationDirPath(); }

StandIn::StandIn(const QString &script, const QString &name) : path_(QDir(OwnDir()).filePath(name))
{
    QFile file(path_);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write the stand-in tool");
    file.write("#!/bin/sh\n" + script.toUtf8() + "\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                        QFile::ExeGroup);
}

StandIn::~StandIn() { QFile::remove(path_); }

QString SettingsFile::Path() { return QDir(OwnDir()).filePath(QStringLiteral("Fusewerk.ini")); }

SettingsFile::SettingsFile(const char *content)
{
    QFile::remove(Path());
    if (content) {
        QFile file(Path());
        file.open(QIODevice::WriteOnly);
        file.write(content);
    }
}

SettingsFile::~SettingsFile() { QFile::remove(Path()); }

QString SettingsFile::Read()
{
    QFile file(Path());
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll());
}

Watch::Watch()
{
    previousMessages_ = SetMessageHook([this](MessageKind kind, const QString &title, const QString &text) {
        messages.push_back({kind, title, text});
    });
    previousTones_ = SetToneHook([this](int hz, int ms) { tones.emplace_back(hz, ms); });
    previousQuestions_ = SetQuestionHook([this](const QString &text) {
        questions.push_back(text);
        if (whileAsked)
            whileAsked();
        return answer;
    });
    previousChoices_ = SetChoiceHook([this](const QString &text, const QStringList &items) {
        return choose ? choose(text, items) : QString();
    });
    displayName_ = QGuiApplication::applicationDisplayName();
}

Watch::~Watch()
{
    SetMessageHook(previousMessages_);
    SetToneHook(previousTones_);
    SetQuestionHook(previousQuestions_);
    SetChoiceHook(previousChoices_);
    QGuiApplication::setApplicationDisplayName(displayName_);
}

std::unique_ptr<MainWindow> MakeForm(const QString &device, const QString &programmer, WindowDeps deps)
{
    SettingsFile none;
    auto form = std::make_unique<MainWindow>(std::move(deps));
    Ui(*form).deviceBox->setEditText(device);
    Ui(*form).programmerBox->setEditText(programmer);
    return form;
}

void WaitForRun(MainWindow &form)
{
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form.running(); }, 60000)) << "the run did not end within a minute";
}

void ClickAndWait(QAbstractButton *button)
{
    auto *form = qobject_cast<MainWindow *>(button->window());
    QTest::mouseClick(button, Qt::LeftButton);
    if (form)
        WaitForRun(*form);
}

void TypeInto(QWidget *widget, const QString &text)
{
    for (QChar c : text)
        QTest::keyClick(widget, c.toLatin1());
}

bool ProcessRuns(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    return pid > 0 && stat.open(QIODevice::ReadOnly) && !stat.readAll().contains(") Z ");
}

QString InstallCore(const QString &home, const QString &from, const QString &vendor)
{
    const QString to = QDir(home).filePath(QStringLiteral("Arduino/hardware/%1/avr").arg(vendor));
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next(), target = to + file.mid(from.size());
        QDir().mkpath(QFileInfo(target).path());
        EXPECT_TRUE(QFile::copy(file, target)) << target.toStdString();
    }
    return to;
}

WindowDeps RecordedParts(const QString &transcripts)
{
    WindowDeps deps;
    QFile parts(QDir(transcripts).filePath(QStringLiteral("avrdude-7.1/parts_St.txt")));
    EXPECT_TRUE(parts.open(QIODevice::ReadOnly));
    deps.vocabulary.parts = compose::ParseParts(parts.readAll());
    return deps;
}
