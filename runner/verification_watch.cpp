#include "runner/verification_watch.h"

namespace runner {

void VerificationWatch::See(const QString &piece)
{
    const QString text = tail_ + piece;
    for (const QLatin1String report : {QLatin1String("verification error"), QLatin1String("verification mismatch")})
        if (text.contains(report))
            failed_ = true;
    tail_ = text.right(32);
}

}  // namespace runner
