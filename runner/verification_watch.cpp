#include "runner/verification_watch.h"

namespace runner {
namespace {

// True when one of `phrases` stands in `tail` + `piece`; `tail` keeps the end of the text, so that a
// phrase split between two pieces is found.
bool SeeAcross(QString &tail, const QString &piece, std::initializer_list<QLatin1String> phrases)
{
    const QString text = tail + piece;
    bool found = false;
    for (const QLatin1String phrase : phrases)
        found = found || text.contains(phrase);
    tail = text.right(32);
    return found;
}

}  // namespace

void VerificationWatch::See(const QString &piece)
{
    if (SeeAcross(tail_, piece, {QLatin1String("verification error"), QLatin1String("verification mismatch")}))
        failed_ = true;
}

void UsageWatch::See(const QString &piece)
{
    if (SeeAcross(tail_, piece, {QLatin1String("Usage: avrdude [options]")}))
        seen_ = true;
}

}  // namespace runner
