#pragma once
// Looks for the tool's report of a failed verify in its output as the output passes, so that the
// whole output need not be copied again.
#include "runner/line_splitter.h"

#include <QString>

namespace runner {

// "verification mismatch" from avrdude 7, "verification error" from older ones, exact and
// case-sensitive, in any line.
class VerificationWatch : public LineWatch {
public:
    void seeLine(QStringView line, bool cut) override;
    QList<QLatin1StringView> keys() const override { return {QLatin1StringView("verification")}; }
    bool failed() const { return failed_; }

private:
    bool failed_ = false;
};

// Notices avrdude's usage text ("Usage: avrdude [options]"), its answer to a command line it does
// not accept, whatever its exit code.
class UsageWatch : public LineWatch {
public:
    void seeLine(QStringView line, bool cut) override;
    QList<QLatin1StringView> keys() const override { return {QLatin1StringView("usage:")}; }
    bool seen() const { return seen_; }

private:
    bool seen_ = false;
};

}  // namespace runner
