#pragma once
// Program Chip on a bench of programmers: one avrdude per station, side by side, each in its own
// process group. The lines were judged before the first station started; each board takes the next
// serial number from the ledger as it starts, keeps it only when it succeeded, and gets a line of
// the log of its own, written whole. A station that fails takes no further board (its board wants a
// hand); the others go on. Stop ends them all.
#include "production/disk_writer.h"
#include "production/stations.h"
#include "session/jobs.h"
#include "session/run_plan.h"

#include <QElapsedTimer>
#include <QObject>

#include <memory>
#include <vector>

namespace session {

struct ProgramResult;

enum class StationState { Idle, Signature, Programming, Verifying, Done, Failed, Stopped };

// A station as the window shows it.
struct StationView {
    QString name;  // "-c usbasp -P usb:A1B2"
    StationState state = StationState::Idle;
    QString serial;        // the board under way, or the last one
    QString error;         // failed: avrdude's first error line (or why the board did not start)
    qint64 elapsedMs = 0;  // the board under way, or the last one
    int done = 0, failed = 0;
};

// A station's two lines as judged (the signature read, then the whole chip), and where its serial
// number goes: the private copy of its serial file on the program line, rewritten before each board.
struct StationLines {
    QString name;
    RunPlan signature, program;
    QString serialCopy;  // empty: no serial numbers
};

struct BenchSetup {
    std::vector<StationLines> stations;
    QString part, expected;                    // the part's name and signature
    int boards = 0;                            // 0: each station one board
    production::SerialLedger *ledger = nullptr;  // null: no serial numbers
    std::uint32_t serialAt = 0;
    QString log;                               // empty: none
    // Where the ledger's changes and the log's lines are written off this thread; null: each is
    // written before the bench goes on. A board starts only once its number is on the disk.
    production::DiskWriter *disk = nullptr;
};

// A board's end, for the counters and the caller's messages.
struct BoardEnd {
    int station = 0;
    QString serial;
    bool ok = false, stopped = false;
    QString result, step, error;  // as the log has them
};

class Bench : public QObject {
    Q_OBJECT
public:
    explicit Bench(BenchSetup setup, QObject *parent = nullptr);
    ~Bench() override;  // a station still running ends with the bench

    void start();
    void stop();
    bool running() const;
    const std::vector<StationView> &stations() const { return views_; }
    int done() const { return done_; }
    int failed() const { return failed_; }
    // Boards started so far (each one logged when it ends).
    int started() const { return started_; }

signals:
    void stationChanged(int station);
    void boardEnded(const session::BoardEnd &end);
    // avrdude's output, whole lines, each with its station's number in front when there are several.
    void output(const QString &text);
    void warning(const QString &text);
    void finished();

private:
    struct Running;
    void startBoard(int station);
    void launchBoard(int station, const QString &unkept);
    void boardFinished(int station);
    void seeOutput(int station, const QString &text);
    bool wantsBoard() const;
    void finishWhenIdle();
    void log(const BoardEnd &end, const QString &signature);

    BenchSetup setup_;
    Launcher launcher_;  // one avrdude started a turn: the window keeps drawing
    std::vector<StationView> views_;
    std::vector<std::unique_ptr<Running>> running_;
    int started_ = 0, done_ = 0, failed_ = 0;
    bool stopping_ = false, halted_ = false, over_ = false, ending_ = false;
    bool toldUnkept_ = false;  // the settings file's trouble was said
};

// The numbers that were handed out when the program last ended and are handed out again now,
// each said in the log at `log` (when there is one) with its station.
void LogReissued(const QString &log, const QString &part, const std::map<std::uint32_t, QString> &reissued);

}  // namespace session
