#pragma once
// Looks for the tool's report of a failed verify in its output as the output passes, so that the
// whole output need not be copied again.
#include <QString>

namespace runner {

// "verification mismatch" from avrdude 7, "verification error" from older ones. Exact and
// case-sensitive; a report split between two pieces is still found.
class VerificationWatch {
public:
    void See(const QString &piece);
    bool Failed() const { return failed_; }

private:
    QString tail_;
    bool failed_ = false;
};

// Notices avrdude's usage text ("Usage: avrdude [options]"), its answer to a command line it does
// not accept, whatever its exit code; a text split between two pieces is still found.
class UsageWatch {
public:
    void See(const QString &piece);
    bool Seen() const { return seen_; }

private:
    QString tail_;
    bool seen_ = false;
};

}  // namespace runner
