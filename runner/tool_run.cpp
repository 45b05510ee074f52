#include "runner/tool_run.h"

#include "runner/command_split.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char **environ;

namespace runner {
namespace {

// Owns a descriptor for the time of a run.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    ~Fd() { Close(); }
    int get() const { return fd_; }
    void Reset(int fd)
    {
        Close();
        fd_ = fd;
    }
    void Close()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

// Reaps the child; should the run be abandoned (an exception), the tool is not left running.
class Child {
public:
    explicit Child(pid_t pid) : pid_(pid) {}
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;
    ~Child()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            Wait();
        }
    }
    // True once the child has ended; its status goes to `status`.
    bool TryWait(int &status)
    {
        const pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == pid_ || (r < 0 && errno != EINTR)) {
            pid_ = -1;
            return true;
        }
        return false;
    }
    int Wait()
    {
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
        return status;
    }

private:
    pid_t pid_;
};

bool MakePipe(Fd &readEnd, Fd &writeEnd)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return false;
    readEnd.Reset(fds[0]);
    writeEnd.Reset(fds[1]);
    return true;
}

}  // namespace

QString OwnDirectory() { return QCoreApplication::applicationDirPath(); }

QString SearchPath() { return qEnvironmentVariable("PATH", QStringLiteral("/usr/local/bin:/usr/bin:/bin")); }

ToolRunResult RunTool(const QString &commandLine, const ToolRunOptions &options)
{
    ToolRunResult result;
    const QStringList args = SplitCommandLine(commandLine);
    if (args.isEmpty()) {
        result.failure = QStringLiteral("The command line is empty: there is no program to run.");
        return result;
    }
    result.program = args.front();
    const QString path = FindProgram(args.front(), options.ownDir, options.searchPath);
    if (path.isEmpty()) {
        result.failure = QStringLiteral("The program \"%1\" was not found, neither in %2 nor on the PATH.")
                             .arg(args.front(), options.ownDir.isEmpty() ? QStringLiteral("the program's folder")
                                                                         : options.ownDir);
        return result;
    }

    Fd outRead, outWrite, inRead, inWrite;
    if (!MakePipe(outRead, outWrite) || !MakePipe(inRead, inWrite)) {
        result.failure = QStringLiteral("No pipe could be made for the program \"%1\".").arg(args.front());
        return result;
    }

    std::vector<std::string> argStore;
    argStore.push_back(path.toStdString());
    for (qsizetype i = 1; i < args.size(); ++i)
        argStore.push_back(args[i].toStdString());
    std::vector<char *> argv;
    for (auto &a : argStore)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, inRead.get(), STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, outWrite.get(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, outWrite.get(), STDERR_FILENO);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, argStore.front().c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        result.failure = QStringLiteral("The program \"%1\" could not be started: %2.")
                             .arg(path, QString::fromLocal8Bit(::strerror(rc)));
        return result;
    }
    Child child(pid);
    result.started = true;
    result.program = path;

    // The tool now holds the only write end of its output; nothing is ever written to its input,
    // so it sees the end of its input at once (terminal mode ends by itself).
    outWrite.Close();
    inRead.Close();
    inWrite.Close();

    std::vector<char> buffer(64 * 1024);
    QElapsedTimer sinceIdle;
    sinceIdle.start();
    const int pollMs = static_cast<int>(std::max<long long>(options.idleInterval.count(), 1));
    for (;;) {
        pollfd pfd{outRead.get(), POLLIN, 0};
        const int ready = ::poll(&pfd, 1, pollMs);
        if (ready < 0 && errno != EINTR)
            break;
        if (ready > 0) {
            const ssize_t got = ::read(outRead.get(), buffer.data(), buffer.size());
            if (got == 0)
                break;  // every write end is closed: the output is complete
            if (got < 0 && errno != EINTR && errno != EAGAIN)
                break;
            if (got > 0 && options.onOutput)
                options.onOutput(QByteArrayView(buffer.data(), got));
        }
        if (options.onIdle && sinceIdle.elapsed() >= options.idleInterval.count()) {
            options.onIdle();
            sinceIdle.restart();
        }
    }
    // A tool that closed its output early is still waited for, with the window kept drawn.
    int status = 0;
    while (!child.TryWait(status)) {
        if (options.onIdle)
            options.onIdle();
        ::poll(nullptr, 0, pollMs);
    }
    result.exitStatus = status;
    return result;
}

}  // namespace runner
