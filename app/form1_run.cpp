// Running the tool: "Execute" and the single-byte runs, each one run of the tool that the user can
// stop, with its outcome in the run strip afterwards.
#include "app/form1.h"

#include "app/messages.h"
#include "runner/outcome.h"
#include "runner/output_text.h"
#include "runner/permission_watch.h"
#include "runner/progress_watch.h"
#include "runner/tool_process.h"
#include "runner/tool_run.h"
#include "runner/verification_watch.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>

namespace {

// While a tool runs, the window takes no input but Stop: every control is disabled except the run
// strip, input to disabled controls is dropped (never held back and delivered later), and Escape
// anywhere in the window stops the run.
class RunLock : public QObject {
public:
    RunLock(TForm1 *form, QWidget *strip, bool &running) : form_(form), running_(running)
    {
        running_ = true;
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
        running_ = false;
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
    TForm1 *form_;
    bool &running_;
    QList<QPointer<QWidget>> disabled_;
};

constexpr int kShowEveryMs = 40;  // output shows, and the strip ticks, at a human rate

}  // namespace

runner::ToolEnd TForm1::RunCommand(const QString &commandLine, const std::function<void(const QString &)> &onText,
                                   const std::function<void()> &onShow)
{
    RunLock lock(this, RunStrip1, running_);
    RunStrip1->Begin();
    runner::ToolProcess tool;
    runner::OutputText decode;
    runner::ProgressWatch progress;
    runner::PermissionWatch permission;
    runner::ToolEnd end;
    QEventLoop loop;
    stop_ = [&tool] { tool.Stop(); };
    lock.onEscape = stop_;
    connect(&tool, &runner::ToolProcess::Output, &loop, [&](QByteArrayView bytes) {
        const QString piece = decode.Add(bytes);
        progress.See(piece);
        permission.See(piece);
        onText(piece);
    });
    connect(&tool, &runner::ToolProcess::Ended, &loop, [&](const runner::ToolEnd &e) {
        end = e;
        loop.quit();
    });
    QTimer tick;
    tick.setInterval(kShowEveryMs);
    connect(&tick, &QTimer::timeout, &loop, [&] {
        if (onShow)
            onShow();
        RunStrip1->Tick(tool.ElapsedMs(), progress.Percent());
    });
    if (tool.Start(commandLine, runner::OwnDirectory(), runner::SearchPath())) {
        tick.start();
        loop.exec();
    }
    const QString last = decode.Finish();
    permission.See(last + QLatin1Char('\n'));
    onText(last);
    if (onShow)
        onShow();
    stop_ = nullptr;
    QString outcome = runner::OutcomeText(end);
    if (!end.Succeeded() && !permission.Hint().isEmpty())
        outcome += QStringLiteral(". ") + permission.Hint() + QLatin1Char('.');
    RunStrip1->Finish(outcome, !end.Succeeded());
    if (closeAfterRun_)  // the user asked to stop and close: the close goes on once the run is over
        QTimer::singleShot(0, this, &QWidget::close);
    return end;
}

void TForm1::StopRun()
{
    if (stop_)
        stop_();
}

void TForm1::ShowOutputEnd()
{
    Memo1->moveCursor(QTextCursor::End);
    Memo1->ensureCursorVisible();
}

runner::ToolEnd TForm1::RunAndCapture(const QString &commandLine)
{
    Memo1->clear();
    QString output;
    const runner::ToolEnd end = RunCommand(commandLine, [&](const QString &piece) { output += piece; });
    // Shown at the end, whole.
    Memo1->SetText(end.kind == runner::ToolEnd::Kind::NotStarted ? end.failure : output);
    return end;
}

void TForm1::BitBtn1Click()
{
    const int savedTop = Memo1->y();
    const int savedHeight = Memo1->height();
    SetMemoBounds(3, 678);
    Memo1->raise();
    Memo1->clear();

    // Output is appended at the end of the pane, which stays where it is (it does not scroll along),
    // and shown at a human rate rather than per read.
    QString pending;
    runner::VerificationWatch verification;
    const auto show = [&] {
        if (pending.isEmpty())
            return;
        verification.See(pending);
        Memo1->Append(pending);
        pending.clear();
    };
    // Shown at least every 40 ms, and at once past 1 MB waiting, which keeps the memory in bounds.
    const runner::ToolEnd result = RunCommand(Edit3->text(),
                                              [&](const QString &piece) {
                                                  pending += piece;
                                                  if (pending.size() > 1024 * 1024)
                                                      show();
                                              },
                                              show);
    if (result.kind == runner::ToolEnd::Kind::NotStarted)
        Memo1->SetText(result.failure);
    SetMemoBounds(savedTop, savedHeight);

    // The caret goes to the start of line 15 when there is one; the view stays where it is.
    if (const QTextBlock line = Memo1->document()->findBlockByNumber(15); line.isValid()) {
        const int scroll = Memo1->verticalScrollBar()->value();
        Memo1->setTextCursor(QTextCursor(line));
        Memo1->verticalScrollBar()->setValue(scroll);
    }

    // A run the user stopped is not reported as a failed verify: its output is cut short.
    if (verification.Failed() && result.kind != runner::ToolEnd::Kind::Stopped) {
        PlayTone(1000, 200);
        ShowMessage(this, MessageKind::Warning, QStringLiteral("Verification Error"));
    }
}
