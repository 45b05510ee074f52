#include "runner/verification_watch.h"

namespace runner {

void VerificationWatch::seeLine(QStringView line, bool)
{
    failed_ = failed_ || line.contains(QLatin1String("verification error")) ||
              line.contains(QLatin1String("verification mismatch"));
}

void UsageWatch::seeLine(QStringView line, bool) { seen_ = seen_ || line.contains(QLatin1String("Usage: avrdude [options]")); }

}  // namespace runner
