#include "runner/avrdude_run.h"

#include "runner/outcome.h"

namespace runner {

AvrdudeRun::AvrdudeRun(QObject *parent) : QObject(parent)
{
    tick_.setInterval(kTickMs);
    connect(&tick_, &QTimer::timeout, this, [this] { emit tick(elapsedMs(), percent()); });
    connect(&process_, &ToolProcess::output, this, [this](QByteArrayView bytes) { see(decode_.Add(bytes)); });
    connect(&process_, &ToolProcess::ended, this, [this](const ToolEnd &end) {
        tick_.stop();
        see(decode_.Finish());
        lines_.finish(watches_);
        end_ = end;
        end_.refused = usage_.seen();
        running_ = false;
        emit finished(end_);
    });
}

AvrdudeRun::~AvrdudeRun() = default;

void AvrdudeRun::start(const QStringList &args, const QString &ownDir, const QString &searchPath)
{
    running_ = true;
    tick_.start();
    process_.start(args, ownDir, searchPath);
}

void AvrdudeRun::stop(int graceMs) { process_.stop(graceMs); }

void AvrdudeRun::cancel()
{
    running_ = true;
    process_.cancel();
}

void AvrdudeRun::see(const QString &text)
{
    if (text.isEmpty())
        return;
    progress_.see(text);
    lines_.see(text, watches_);
    emit output(text);
}

QString AvrdudeRun::outcome() const
{
    QString text = OutcomeText(end_);
    if (end_.Succeeded() || end_.kind == ToolEnd::Kind::Stopped)
        return text;
    // What the failure usually means: the permission hint, or one sentence from avrdude's messages.
    if (!permission_.hint().isEmpty())
        text += QStringLiteral(". ") + permission_.hint() + QLatin1Char('.');
    else if (!failure_.advice().isEmpty())
        text += QStringLiteral(". ") + failure_.advice();
    return text;
}

}  // namespace runner
