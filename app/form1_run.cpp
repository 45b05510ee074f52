// Running the tool: "Execute" and the single-byte runs.
#include "app/form1.h"

#include "app/messages.h"
#include "runner/output_text.h"
#include "runner/tool_run.h"
#include "runner/verification_watch.h"

#include <QCoreApplication>
#include <QScrollBar>
#include <QTextBlock>

namespace {

// The window takes no input while a tool runs and is enabled again however the run ends.
class RunLock {
public:
    RunLock(TForm1 *form, bool &running) : form_(form), running_(running)
    {
        running_ = true;
        form_->setEnabled(false);
    }
    ~RunLock()
    {
        form_->setEnabled(true);
        running_ = false;
    }

private:
    TForm1 *form_;
    bool &running_;
};

// Keeps the window drawn; clicks and keys wait, and a disabled window ignores them anyway.
void KeepDrawn() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

runner::ToolRunOptions RunOptions()
{
    runner::ToolRunOptions options;
    options.ownDir = runner::OwnDirectory();
    options.searchPath = runner::SearchPath();
    return options;
}

}  // namespace

void TForm1::RunAndCapture(const QString &commandLine)
{
    RunLock lock(this, running_);
    Memo1->clear();
    KeepDrawn();
    runner::OutputText decode;
    QString output;
    runner::ToolRunOptions options = RunOptions();
    options.onOutput = [&](QByteArrayView bytes) { output += decode.Add(bytes); };
    options.onIdle = KeepDrawn;  // drawn, but the output shows only when the run has ended
    const runner::ToolRunResult result = runner::RunTool(commandLine, options);
    output += decode.Finish();
    Memo1->setPlainText(result.started ? output : result.failure);
}

void TForm1::BitBtn1Click()
{
    bool failedVerification = false;
    {
        RunLock lock(this, running_);
        const int savedTop = Memo1->y();
        const int savedHeight = Memo1->height();
        SetMemoBounds(3, 678);
        Memo1->raise();
        Memo1->clear();
        KeepDrawn();

        // Output is appended at the end of the pane, which stays where it is (it does not scroll
        // along), and shown at a human rate rather than per read.
        runner::OutputText decode;
        QString pending;
        runner::VerificationWatch verification;
        QTextCursor end(Memo1->document());
        const auto flush = [&] {
            if (pending.isEmpty())
                return;
            verification.See(pending);
            end.movePosition(QTextCursor::End);
            end.insertText(pending);
            pending.clear();
        };
        runner::ToolRunOptions options = RunOptions();
        options.onOutput = [&](QByteArrayView bytes) { pending += decode.Add(bytes); };
        options.onIdle = [&] {
            flush();
            KeepDrawn();
        };
        const runner::ToolRunResult result = runner::RunTool(Edit3->text(), options);
        pending += decode.Finish();
        flush();
        if (!result.started)
            Memo1->setPlainText(result.failure);
        failedVerification = verification.Failed();

        SetMemoBounds(savedTop, savedHeight);
        KeepDrawn();
    }

    // The caret goes to the start of line 15 when there is one; the view stays where it is.
    if (const QTextBlock line = Memo1->document()->findBlockByNumber(15); line.isValid()) {
        const int scroll = Memo1->verticalScrollBar()->value();
        Memo1->setTextCursor(QTextCursor(line));
        Memo1->verticalScrollBar()->setValue(scroll);
    }

    if (failedVerification) {
        PlayTone(1000, 200);
        ShowMessage(this, MessageKind::Warning, QStringLiteral("Verification Error"));
    }
}
