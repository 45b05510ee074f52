#include "runner/output_text.h"

namespace runner {

QString OutputText::Add(QByteArrayView bytes)
{
    QString decoded = decoder_.decode(bytes);
    // Usually there is nothing to change: no carriage return, no NUL.
    if (!pendingCr_ && !decoded.contains(u'\r') && !decoded.contains(QChar(0)))
        return decoded;
    QString out;
    out.reserve(decoded.size() + 1);
    for (QChar c : decoded) {
        if (pendingCr_) {
            pendingCr_ = false;
            out += u'\n';
            if (c == u'\n')
                continue;
        }
        if (c == u'\r')
            pendingCr_ = true;
        else if (!c.isNull())
            out += c;
    }
    return out;
}

QString OutputText::Finish()
{
    QString out = decoder_.decode(QByteArrayView());
    if (pendingCr_)
        out += u'\n';
    pendingCr_ = false;
    return out;
}

}  // namespace runner
