// Running the tool: "Execute" and the single-byte runs, each one AvrdudeRun that the user can
// stop, with its outcome in the run strip afterwards. Starting returns at once; the run's signals
// bring its output, its progress and its end back to the window.
#include "app/form1.h"

#include "app/messages.h"
#include "runner/avrdude_run.h"
#include "compose/vocabulary.h"
#include "runner/tool_run.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>

void TForm1::StartRun(const QString &line, std::function<void(const QString &)> onOutput,
                      std::function<void()> onTick, std::function<void(const runner::AvrdudeRun &)> done)
{
    if (run_)
        return;  // one run at a time: the controls that start one are disabled meanwhile
    lock_ = std::make_unique<RunLock>(this, runStrip);
    lock_->onEscape = [this] { StopRun(); };
    runStrip->Begin();
    runDone_ = std::move(done);
    run_ = std::make_unique<runner::AvrdudeRun>();
    connect(run_.get(), &runner::AvrdudeRun::output, this, std::move(onOutput));
    connect(run_.get(), &runner::AvrdudeRun::tick, this, [this, onTick = std::move(onTick)](qint64 ms, int percent) {
        if (onTick)
            onTick();
        runStrip->Tick(ms, percent);
    });
    connect(run_.get(), &runner::AvrdudeRun::finished, this, &TForm1::FinishRun);
    run_->start(line, runner::OwnDirectory(), runner::SearchPath());
}

void TForm1::FinishRun()
{
    // The run object goes once its signal has returned; the window takes input again at once.
    runner::AvrdudeRun *run = run_.release();
    run->disconnect(this);
    run->deleteLater();
    lock_.reset();
    auto done = std::move(runDone_);
    runDone_ = nullptr;
    runStrip->Finish(run->outcome(), !run->end().Succeeded());
    if (done)
        done(*run);  // it may say more in the strip
    ShowWhatTheRunSaw(*run);
    if (closeAfterRun_)  // the user asked to stop and close: the close goes on once the run is over
        QTimer::singleShot(0, this, &QWidget::close);
    emit runFinished();
}

void TForm1::ShowWhatTheRunSaw(const runner::AvrdudeRun &run)
{
    // avrdude refused the chip's signature as another part's: the fix is one click away.
    const QString other = compose::LookupPartName(run.failure().OtherPart());
    if (!other.isEmpty() && other != deviceBox->Text()) {
        runStrip->Offer(QStringLiteral("Switch to %1").arg(other));
        disconnect(runStrip, &widgets::RunStrip::OfferClicked, this, nullptr);
        connect(runStrip, &widgets::RunStrip::OfferClicked, this, [this, other] { deviceBox->SetText(other); });
    }
    // A failed run opens the pane at its first error line, marked.
    QList<QTextEdit::ExtraSelection> marks;
    const QString error = run.failure().FirstError();
    if (!run.end().Succeeded() && !error.isEmpty()) {
        const QTextCursor found = outputPane->document()->find(error);
        if (!found.isNull()) {
            QTextEdit::ExtraSelection mark;
            mark.cursor = QTextCursor(found.block());
            mark.format.setBackground(QColor(255, 230, 150));
            mark.format.setForeground(Qt::black);
            mark.format.setProperty(QTextFormat::FullWidthSelection, true);
            marks << mark;
            outputPane->setTextCursor(QTextCursor(found.block()));
            outputPane->ensureCursorVisible();
        }
    }
    outputPane->setExtraSelections(marks);
}

void TForm1::StopRun()
{
    if (run_)
        run_->stop();
}

void TForm1::ShowOutputEnd()
{
    outputPane->moveCursor(QTextCursor::End);
    outputPane->ensureCursorVisible();
}

void TForm1::StartShownRun(const QString &line, std::function<void(const QString &)> see,
                           std::function<void(const runner::AvrdudeRun &)> done)
{
    outputPane->Clear();
    // Output is appended at the end of the pane, which stays where it is (it does not scroll along),
    // and shown at a human rate rather than per read; the pane keeps its own bound, so memory stays
    // bounded whatever the tool prints.
    StartRun(
        line,
        [this, see = std::move(see)](const QString &text) {
            if (see)
                see(text);
            outputPane->Append(text);
        },
        [this] { outputPane->Flush(); },
        [this, done = std::move(done)](const runner::AvrdudeRun &run) {
            outputPane->Flush();
            if (run.end().kind == runner::ToolEnd::Kind::NotStarted)
                outputPane->SetText(run.end().failure);
            done(run);
        });
}

void TForm1::RunAndCapture(const QString &line, std::function<void(const runner::ToolEnd &)> done,
                           std::function<void(const QString &)> see, bool reading)
{
    if (run_ || !PassesGate(line, reading))
        return;
    StartShownRun(line, std::move(see), [this, done = std::move(done)](const runner::AvrdudeRun &run) {
        outputPane->moveCursor(QTextCursor::Start);  // a single-byte run's output shows from its start
        if (done)
            done(run.end());
    });
}

void TForm1::Execute()
{
    if (run_ || !PassesGate(commandLine->text()))
        return;
    const int savedTop = outputPane->y();
    const int savedHeight = outputPane->height();
    SetPaneBounds(3, 678);
    outputPane->raise();
    StartShownRun(commandLine->text(), {}, [this, savedTop, savedHeight](const runner::AvrdudeRun &run) {
        SetPaneBounds(savedTop, savedHeight);
        // The caret goes to the start of line 15 when there is one; the view stays where it is.
        if (const QTextBlock line = outputPane->document()->findBlockByNumber(15); line.isValid()) {
            const int scroll = outputPane->verticalScrollBar()->value();
            outputPane->setTextCursor(QTextCursor(line));
            outputPane->verticalScrollBar()->setValue(scroll);
        }
        // A run the user stopped is not reported as a failed verify: its output is cut short.
        if (run.verificationFailed() && run.end().kind != runner::ToolEnd::Kind::Stopped) {
            PlayTone(1000, 200);
            ShowMessage(this, MessageKind::Warning, QStringLiteral("Verification Error"));
        }
    });
}
