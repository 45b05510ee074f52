#pragma once
// The emulated STK500 version 1 programmer with an ATmega8 (stk500v1_emulator.py) on a
// pseudo-terminal, for end-to-end runs of the real avrdude; the chip is kept in a JSON file.
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <signal.h>

class Emulator {
public:
    explicit Emulator(const QStringList &extra = {})
    {
        process_.setProgram(QStringLiteral("python3"));
        process_.setArguments(QStringList{QStringLiteral(FUSEWERK_LAB_DIR "/stk500v1_emulator.py"), "--state",
                                          state_.filePath("chip.json")} +
                              extra);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start();
        // A busy machine (two builds beside the tests) can take seconds to start Python: without its
        // port the runs would go to avrdude's default port instead.
        if (!process_.waitForStarted(20000) || !process_.waitForReadyRead(20000))
            return;
        while (!process_.canReadLine() && process_.waitForReadyRead(5000)) {
        }
        port_ = QString::fromUtf8(process_.readLine()).trimmed();
    }
    ~Emulator() { Stop(); }
    QString Port() const { return port_; }
    // The chip as the emulator keeps it between runs.
    QJsonObject Chip() const
    {
        QFile file(state_.filePath("chip.json"));
        return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
    }
    void Stop()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        ::kill(static_cast<pid_t>(process_.processId()), SIGTERM);
        process_.waitForFinished(5000);
    }

private:
    QTemporaryDir state_;
    QProcess process_;
    QString port_;
};

