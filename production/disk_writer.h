#pragma once
// Writes that must reach the disk, made one after another on a thread of their own. A synced
// write may take tens of milliseconds (a slow or busy disk far longer); the window's thread hands
// it over and goes on drawing, and hears when it is done.
#include <QObject>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace production {

class DiskWriter : public QObject {
    Q_OBJECT
public:
    // A write on the writer's thread: true when all of it is on the disk, else false and why.
    using Write = std::function<bool(QString *error)>;

    explicit DiskWriter(QObject *parent = nullptr);
    ~DiskWriter() override;  // what was handed over is written first

    // A write of what must be kept, whole each time (the settings file with the serial numbers in
    // it): the next `whenKept` tells whether the last of them is on the disk.
    void keep(Write write);
    // A write of its own (a line of a log): its failure is told to `failed`, on this object's thread.
    void append(Write write, std::function<void(const QString &error)> failed);
    // `then` is called on this object's thread once everything handed over before it is done, with
    // why the last `keep` failed (empty: it is on the disk, and with it every one before).
    void whenKept(std::function<void(const QString &error)> then);
    // Waits until everything handed over is done; whether the last `keep` succeeded (true when
    // there was none).
    bool flush();

private:
    struct Task {
        Write write;
        bool keeps = false;
        std::function<void(const QString &)> failed;  // an append's
        std::function<void(const QString &)> then;    // a whenKept's
    };
    void push(Task task);
    void work();

    std::mutex mutex_;
    std::condition_variable wake_, idle_;
    std::deque<Task> tasks_;
    bool busy_ = false, ending_ = false;
    QString lastKeepError_;
    std::thread thread_;
};

}  // namespace production
