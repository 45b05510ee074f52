#pragma once
// The configuration files one run of avrdude 7.1 reads, found by its own rules, and its part data as
// those files give it: the system-wide file (or the line's -C), the user's own (~/.avrduderc, or
// avrdude.rc under $XDG_CONFIG_HOME), and each -C +file.
#include "compose/vocabulary.h"

#include <QByteArray>
#include <QHash>
#include <QProcessEnvironment>
#include <QStringList>

#include <memory>

namespace installed {

struct ConfigFiles {
    QString system;            // the system-wide file: the line's last plain -C, else avrdude's own
    bool systemGiven = false;  // a -C took the place of avrdude's own
    QString user;              // the user's file, when avrdude will read one; empty otherwise
    QStringList added;         // each -C +file, in the order given
    QStringList candidates;    // where a user's file would be looked for: one appearing changes the key

    // Every file avrdude reads beyond its own system-wide file, in the order it reads them.
    QStringList UserFiles() const;
    // Path, size, modification time and inode of every file read or looked for: it changes whenever
    // one of them does.
    QByteArray Key() const;
};

// The user's file avrdude 7.1 reads in `env`: avrdude/avrdude.rc under $XDG_CONFIG_HOME (or
// ~/.config) when that is a regular file, else ~/.avrduderc when that is one; empty when neither is.
// `candidates` receives both places.
QString UserConfigFile(const QProcessEnvironment &env, QStringList *candidates = nullptr);

// The files a run with the line's -C arguments (`dashC`, in order) reads in `env`; relative names are
// taken from the current folder, as avrdude takes them from its own, which is this one.
ConfigFiles LineConfigFiles(const QStringList &dashC, const QString &ownSystem, const QProcessEnvironment &env);

// avrdude's parts as `files` give them, asked of `program` (its "-p */St" with -C for each file) in
// `env`; nothing when it does not answer with parts (a file it cannot read).
std::optional<std::vector<compose::InstalledPart>> AskParts(const QString &program, const ConfigFiles &files,
                                                            const QProcessEnvironment &env);

// The part data a line will be read with, as its configuration files give it, and the installed
// avrdude's own (its system-wide file alone) beside it, for the memories the user's files redefine.
struct LineParts {
    std::shared_ptr<const compose::Vocabulary> words;     // as the line's files give them
    std::shared_ptr<const compose::Vocabulary> baseline;  // avrdude's own file alone; null when not known
    QStringList userFiles;  // the files beyond avrdude's own, in the order it reads them
    QString problem;        // avrdude did not answer with these files: why
    QByteArray key;         // the files' key when judged (ConfigFiles::Key)
    bool known = false;     // the files are known (the vocabulary came from a real avrdude)
};

// Asks avrdude once per set of files (path, size, time), and keeps the answers of the last few.
class ConfiguredParts {
public:
    // `words`: the installed avrdude's, asked with the files of this program's own environment.
    explicit ConfiguredParts(std::shared_ptr<const compose::Vocabulary> words);
    LineParts For(const QStringList &dashC, const QProcessEnvironment &env);
    // The key the files of a line have now (for a check just before the run).
    QByteArray KeyNow(const QStringList &dashC, const QProcessEnvironment &env) const;

private:
    std::shared_ptr<const compose::Vocabulary> Asked(const ConfigFiles &files, const QProcessEnvironment &env,
                                                     QString *problem);
    std::shared_ptr<const compose::Vocabulary> words_;
    QHash<QByteArray, std::shared_ptr<const compose::Vocabulary>> asked_;
};

}  // namespace installed
