#pragma once
// Turns the tool's raw output into the pane's text as it arrives, piece by piece.
#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

namespace runner {

class OutputText {
public:
    // The text of the next piece: UTF-8 decoded across piece boundaries, zero bytes dropped, each
    // line break (CR LF, LF or a lone CR) as one LF, even when CR and LF arrive in two pieces.
    QString Add(QByteArrayView bytes);
    // What is still held back at the end of the output.
    QString Finish();

private:
    QStringDecoder decoder_{QStringDecoder::Utf8};
    bool pendingCr_ = false;
};

}  // namespace runner
