#pragma once
// What a judged line runs, exactly: the avrdude the part data came from (found once), its arguments
// with a private, read-only copy of every file whose bytes were judged in that file's place, and the
// words for the output that say which copy stood for which file. Nothing between the judgement and
// the run reads a file or the line again.
#include "compose/installed.h"
#include "fuses/gate.h"

#include <QHash>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace session {

struct RunPlan {
    QStringList args;   // the program as found (its path), then the arguments as they run
    QStringList notes;  // for the output, before avrdude's own: which copy stands for which file
    std::shared_ptr<QTemporaryDir> copies;  // the copies' folder, removed when its last holder goes
    std::vector<fuses::JudgedByte> bytes;   // the fuse and lock bytes judged for it
    QHash<QString, QString> copied;         // each file copied: its copy
};

// The program a line runs, found as the run finds it (`found`; empty when it is nowhere), and the
// question to ask when it is not the avrdude `installed` came from (when that is not known: one not
// named avrdude); empty when it is that avrdude.
QString ProgramQuestion(const QStringList &args, const compose::InstalledAvrdude &installed, QString *found);

// The plan for `args` as `verdict` judged them: `program` (found) in the first word's place, and each
// file a write read whole and judged replaced by its copy. Files the line writes itself, and files
// that could not be read whole, keep their names. Empty, and `error` set, when a copy cannot be made.
std::optional<RunPlan> PlanRun(const QStringList &args, const QString &program, const fuses::GateVerdict &verdict,
                               QString *error);

}  // namespace session
