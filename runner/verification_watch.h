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

}  // namespace runner
