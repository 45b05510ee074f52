#include "runner/avrdude_run.h"

#include "runner/outcome.h"

namespace runner {

AvrdudeRun::AvrdudeRun(QObject *parent) : QObject(parent)
{
    tick_.setInterval(kTickMs);
    connect(&tick_, &QTimer::timeout, this, [this] { emit tick(elapsedMs(), percent()); });
    connect(&process_, &ToolProcess::Output, this, [this](QByteArrayView bytes) { See(decode_.Add(bytes)); });
    connect(&process_, &ToolProcess::Ended, this, [this](const ToolEnd &end) {
        tick_.stop();
        See(decode_.Finish());
        permission_.See(QStringLiteral("\n"));  // the last line may have no line break
        failure_.Finish();
        end_ = end;
        end_.refused = usage_.Seen();
        running_ = false;
        emit finished(end_);
    });
}

AvrdudeRun::~AvrdudeRun() = default;

void AvrdudeRun::start(const QString &commandLine, const QString &ownDir, const QString &searchPath)
{
    running_ = true;
    tick_.start();
    process_.Start(commandLine, ownDir, searchPath);
}

void AvrdudeRun::stop(int graceMs) { process_.Stop(graceMs); }

void AvrdudeRun::See(const QString &text)
{
    if (text.isEmpty())
        return;
    progress_.See(text);
    permission_.See(text);
    verification_.See(text);
    usage_.See(text);
    failure_.See(text);
    emit output(text);
}

QString AvrdudeRun::outcome() const
{
    QString text = OutcomeText(end_);
    if (end_.Succeeded() || end_.kind == ToolEnd::Kind::Stopped)
        return text;
    // What the failure usually means: the permission hint, or one sentence from avrdude's messages.
    if (!permission_.Hint().isEmpty())
        text += QStringLiteral(". ") + permission_.Hint() + QLatin1Char('.');
    else if (!failure_.Advice().isEmpty())
        text += QStringLiteral(". ") + failure_.Advice();
    return text;
}

}  // namespace runner
