#pragma once
// The chip on the bench as the program knows it: the part and programmer chosen (as the installed
// avrdude describes them), the one run at a time, each byte's last value read and what it was read
// from, the read-line table and the gate every run passes. The window is a view of it: it hands in
// its values, starts operations, answers the session's questions and shows what it reports.
#include "compose/form_state.h"
#include "compose/vocabulary.h"
#include "fuses/fuse_bytes.h"
#include "fuses/gate.h"
#include "fuses/part_fuses.h"
#include "production/program_plan.h"
#include "production/stations.h"
#include "session/bench.h"
#include "session/run_plan.h"

#include <QHash>
#include <QObject>

#include <memory>

namespace runner {
class AvrdudeRun;
}
namespace installed {
class ConfiguredParts;
}

namespace session {

class Job;
struct WantedFuse;

enum class Notice { Information, Warning };

// How a run ended, for the run strip and the output pane.
struct Outcome {
    QString text;              // the run strip's sentence
    bool failed = false;
    QString otherPart;         // the device avrdude found instead of the chosen one: a switch to offer
    QString firstError;        // of a failed run: the line to mark in the output
    QString notStarted;        // why the tool could not be started (the pane shows it)
    bool fromStart = false;    // a read: its output reads best from its start
    bool execute = false;      // the command line as the user has it
    bool verificationFailed = false;
};

// How Program Chip or Verify Chip ended, for the counter and the log.
struct ProgramResult {
    bool ok = false;
    bool verify = false;
    bool wrongChip = false;
    bool stopped = false;
    QString signature;   // as read from the chip
    QString failedStep;  // "signature", "program", "verify"; empty when none failed
    QString firstError;  // avrdude's first error line
    QString difference;  // a verify's first difference
};

// Program Chip on a bench of stations: the file, part and options of `base` (its programmer and port
// are each station's), `boards` boards in all (0: each station one), the serial numbers from
// `ledger` (null: none) at `base.serialAt`, a line per board in `log`.
struct BenchRequest {
    production::ProgramRequest base;
    std::vector<production::Station> stations;
    int boards = 0;
    production::SerialLedger *ledger = nullptr;
    QString log;
    production::DiskWriter *disk = nullptr;  // null: the ledger and the log are written at once
};

class ChipSession : public QObject {
    Q_OBJECT
public:
    // `words`: the installed avrdude's own; handed in, never shared through anything global.
    explicit ChipSession(compose::Vocabulary words, QObject *parent = nullptr);
    ~ChipSession() override;  // a run still under way ends with the session

    const compose::Vocabulary &words() const { return words_; }
    // The window's values that bear on a command line; every operation composes from them.
    void setForm(const compose::FormState &form);
    const compose::FormState &form() const { return form_; }
    // The chosen device as the installed avrdude describes it; null when it does not know it.
    const compose::InstalledPart *part() const { return words_.findPart(form_.device); }
    // The chosen part's own fuses (UPDI, TPI, XMEGA parts); none for a classic part.
    fuses::OwnFuses ownFuses() const;
    QString commandLine() const;

    // The line of a read's output that holds its value, per programmer (the settings' table). A
    // programmer's own line is taken when it is chosen; one the table lacks keeps the line there was.
    void setReadLineTable(QHash<QString, int> table);
    const QHash<QString, int> &readLineTable() const { return readLines_; }
    int readLine() const { return readLine_; }
    void setReadLine(int line) { readLine_ = line; }
    const fuses::LastReads &lastReads() const { return lastReads_; }

    bool running() const { return job_ != nullptr || bench_ != nullptr; }
    // The fuse and lock bytes the gate judged for the run under way, or the last one: no other value
    // may reach a fuse or lock.
    const std::vector<fuses::JudgedByte> &judgedBytes() const { return judgedBytes_; }
    // Each operation composes its line, shows it (lineShown) where the design shows it, has the gate
    // judge it and starts it. False when nothing runs: the user has been told why.
    bool execute(const QString &line);
    bool readByte(fuses::FuseByte byte);
    bool writeByte(fuses::FuseByte byte, const QString &hexValue);
    // Every fuse and lock byte the part has, in one run: the byte editors' or the part's own.
    bool readAllFuses();
    // One of the part's own fuse memories (fuse5, lock ...); `hexValue`: two hex digits a byte.
    bool readFuse(const QString &memory);
    bool writeFuse(const QString &memory, const QString &hexValue);
    // Several fuse and lock memories in one run, each (avrdude's memory name, two hex digits a
    // byte), in the order given.
    bool writeFuses(const QList<QPair<QString, QString>> &values);
    // A whole memory of the chosen part (flash, eeprom, usersig ...), read into a raw file of the
    // session's own: `memoryRead` brings its bytes.
    bool readMemory(const QString &memory);
    // A data memory (eeprom, usersig ...) written whole from `bytes`, as one run through the gate
    // from a raw file of the session's own; `memoryWritten` says it succeeded.
    bool writeMemory(const QString &memory, const QByteArray &bytes);
    bool readCalibration();
    bool writeCalibration(const QString &value);
    bool readSignature();
    // Reads the signature with the chosen programmer and port, and names the part that has it.
    bool detect();
    // A board's bootloader: its lines (each with what it does, `captions`), all judged by the gate
    // before the first runs, then run one after the other, the next only when the one before
    // succeeded. `clockQuestion`, when not empty, is asked once first; answered yes, the gate asks
    // nothing more of the board's clock.
    // `board`, when given, names the board and its options in every question the gate asks of the burn.
    bool burnBootloader(const QStringList &lines, const QStringList &captions, const QString &clockQuestion,
                        const QString &board = {});
    // Program Chip (or, `verify`, Verify Chip): `signatureLine` reads the chip's signature first;
    // `line` runs only when it is `signature`. Both lines pass the gate before either runs.
    bool programChip(const QString &signatureLine, const QString &line, const QString &signature, bool verify);
    // Program Chip on every station at once. Each station's lines pass the gate before any station
    // starts (a question the lines share is asked once); then the bench runs (`bench()`), and
    // `finished` comes when its last station has ended.
    bool programStations(const BenchRequest &request);
    // The bench under way; null when none is.
    const Bench *bench() const { return bench_.get(); }
    // Judges `lines` as a burn would (the board's clock agreed to when `clockConfirmed`), asking its
    // questions and telling its refusals, and runs nothing: true when all of them would run.
    bool wouldRun(const QStringList &lines, bool clockConfirmed, const QString &board = {});
    void stop();

signals:
    void lineShown(const QString &line);
    void runStateChanged(bool running);
    void output(const QString &text);
    void tick(qint64 elapsedMs, int percent);
    // A run of several steps began one ("Step 2 of 2: bootloader and lock").
    void stepStarted(const QString &text);
    void byteRead(fuses::FuseByte byte, unsigned value);
    void fuseRead(const QString &memory, quint32 value);  // one of the part's own fuses
    // A run that succeeded wrote this value (its bytes in memory order) to a fuse or lock memory.
    void written(const QString &memory, const QByteArray &bytes);
    void bytesRead(const QString &memory, const QString &text);  // calibration or signature
    void memoryRead(const QString &memory, const QByteArray &bytes);  // a whole memory, as the chip holds it
    void memoryWritten(const QString &memory);
    // Detect found the signature, and (when not empty) the part the user agreed it is.
    void detected(const QString &part, const QString &signature);
    void told(session::Notice kind, const QString &text);
    // The run has ended (the window is free again): how, as the run strip says it.
    void runEnded(const session::Outcome &outcome);
    // A better sentence for the run strip than the run's own, once the result is known (Detect).
    void outcomeChanged(const QString &text, bool failed);
    // "Write anyway" or Cancel: *yes stays false unless someone answers yes.
    void question(const QString &text, bool *yes);
    // A run would write into a file that is there (a read's output): "Replace" or Cancel, *yes
    // false unless someone answers yes.
    void replaceQuestion(const QString &text, bool *yes);
    // One of `items`, or empty when nobody picks.
    void choice(const QString &text, const QStringList &items, QString *picked);
    // A station of the bench under way changed its state, its time or its counts.
    void stationChanged(int station);
    // A board of the bench has ended (and been logged).
    void boardEnded(const session::BoardEnd &end);
    // Program Chip or Verify Chip has ended (before `finished`).
    void programmed(const session::ProgramResult &result);
    // The operation is over: every value and message it brought has been reported.
    void finished();

private:
    // The gate: the line judged as avrdude will read it (its program, its configuration files, its
    // options and files), the questions asked; what runs, or nothing (the user has been told why).
    // `planned`: with the copies made (a judgement that only tells makes none).
    std::optional<RunPlan> judged(const QStringList &args, bool reading, bool planned = true);
    bool throughBootloader(const QString &action, const QStringList &args);
    // The line split once, checked for a bootloader programmer, shown, and judged at the gate;
    // nothing when it must not run (the user has been told why).
    std::optional<RunPlan> shownAndJudged(const QString &line, const QString &action, bool reading);
    // `plans`: what the job runs, whose copies it holds until it goes; their notes open the output.
    bool startJob(std::unique_ptr<Job> job, const std::vector<RunPlan> &plans);
    void jobFinished();
    void benchFinished();
    void detectedSignature(const QString &signature, const runner::AvrdudeRun &run);
    bool write(const QString &operation);
    bool readFuses(std::vector<WantedFuse> wanted);

    compose::Vocabulary words_;
    std::unique_ptr<installed::ConfiguredParts> configured_;
    compose::FormState form_;
    bool formSet_ = false;
    QHash<QString, int> readLines_;
    int readLine_ = 0;
    fuses::LastReads lastReads_;
    std::vector<fuses::JudgedByte> judgedBytes_;
    std::unique_ptr<Job> job_;
    std::unique_ptr<Bench> bench_;
    QHash<QString, bool> *answers_ = nullptr;  // while a bench is judged: the questions answered
    QString readFrom_;  // the part of the line under way: what a read reads from
    bool clockConfirmed_ = false;  // while a burn is judged: its clock was agreed to
    QString burning_;              // while a burn is judged: the board and options, for its questions
};

}  // namespace session
