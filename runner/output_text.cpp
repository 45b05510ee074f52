#include "runner/output_text.h"

namespace runner {

QString OutputText::Add(QByteArrayView bytes)
{
    const QString decoded = decoder_.decode(bytes);
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
