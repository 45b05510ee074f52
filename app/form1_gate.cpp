// The one gate every run passes before it starts, whichever button started it: the line that will
// run is judged as avrdude will read it (fuses/gate.h); here the user is told or asked.
#include "app/form1.h"
#include "app/messages.h"
#include "compose/installed.h"
#include "runner/command_split.h"

bool TForm1::PassesGate(const QString &line, bool reading)
{
    const QStringList words = runner::SplitCommandLine(line);
    const fuses::GateVerdict verdict = fuses::JudgeLine(words, lastReads_);
    if (const QStringList writes = verdict.args.Writes(); reading && !writes.isEmpty()) {
        ShowMessage(this, MessageKind::Warning,
                    QStringLiteral("A read writes nothing, but this line would also run %1 (from the extra options): "
                                   "nothing was run.")
                        .arg(writes.join(QStringLiteral(", "))));
        return false;
    }
    if (!verdict.refusal.isEmpty()) {
        ShowMessage(this, MessageKind::Warning, QStringLiteral("Nothing was run: %1.").arg(verdict.refusal));
        return false;
    }
    if (verdict.questions.isEmpty())
        return true;
    // The guard's questions, Cancel the default.
    for (const QString &question : verdict.questions)
        if (!AskQuestion(this, question, QStringLiteral("Write anyway"), QStringLiteral("Cancel")))
            return false;
    // The answers took their time: a file changed meanwhile would run unjudged.
    if (fuses::JudgeLine(words, lastReads_).evidence != verdict.evidence) {
        ShowMessage(this, MessageKind::Warning,
                    QStringLiteral("A file of the command line changed while the question was open: nothing was run. "
                                   "Start it again to have it judged as it is now."));
        return false;
    }
    return true;
}

bool TForm1::ThroughBootloader(const QString &action, const QString &line)
{
    const compose::AvrdudeArguments args = compose::ParseAvrdudeArguments(runner::SplitCommandLine(line));
    const compose::InstalledProgrammer *programmer = compose::FindInstalledProgrammer(args.programmer);
    if (!programmer || !programmer->bootloaderOnly)
        return false;
    ShowMessage(this, MessageKind::Warning,
                QStringLiteral("The programmer \"%1\" reaches the chip through its bootloader, which cannot %2 fuse, "
                               "lock or calibration bytes: nothing was run.")
                    .arg(args.programmer, action));
    return true;
}
