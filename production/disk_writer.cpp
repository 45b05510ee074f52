#include "production/disk_writer.h"

#include <QMetaObject>

namespace production {

DiskWriter::DiskWriter(QObject *parent) : QObject(parent), thread_([this] { work(); }) {}

DiskWriter::~DiskWriter()
{
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
    }
    wake_.notify_one();
    thread_.join();  // what is queued is written; what it would tell goes with this object
}

void DiskWriter::push(Task task)
{
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
}

void DiskWriter::keep(Write write)
{
    push({std::move(write), true, {}, {}});
}

void DiskWriter::append(Write write, std::function<void(const QString &)> failed)
{
    push({std::move(write), false, std::move(failed), {}});
}

void DiskWriter::whenKept(std::function<void(const QString &)> then)
{
    push({{}, false, {}, std::move(then)});
}

bool DiskWriter::flush()
{
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return tasks_.empty() && !busy_; });
    return lastKeepError_.isEmpty();
}

void DiskWriter::work()
{
    for (;;) {
        Task task;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return ending_ || !tasks_.empty(); });
            if (tasks_.empty())
                return;  // ending, and everything is written
            task = std::move(tasks_.front());
            tasks_.pop_front();
            busy_ = true;
        }
        if (task.write) {
            QString error;
            const bool ok = task.write(&error);
            if (task.keeps) {
                std::lock_guard lock(mutex_);
                lastKeepError_ = ok ? QString() : error.isEmpty() ? QStringLiteral("a file could not be written") : error;
            } else if (!ok && task.failed) {
                QMetaObject::invokeMethod(this, [failed = std::move(task.failed), error] { failed(error); }, Qt::QueuedConnection);
            }
        } else if (task.then) {
            QString failure;
            {
                std::lock_guard lock(mutex_);
                failure = lastKeepError_;
            }
            QMetaObject::invokeMethod(this, [then = std::move(task.then), failure] { then(failure); }, Qt::QueuedConnection);
        }
        {
            std::lock_guard lock(mutex_);
            busy_ = false;
        }
        idle_.notify_all();
    }
}

}  // namespace production
