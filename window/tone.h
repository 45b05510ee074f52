#pragma once
// A sine tone played through the default audio output, or the desktop bell without one.
#include <QByteArray>
#include <QObject>
#include <memory>

class QAudioSink;
class QBuffer;

class Tone : public QObject {
public:
    static Tone &Instance();
    void Play(int hertz, int milliseconds);

    // 16-bit signed mono samples of a sine at `hertz`, faded in and out over 5 ms to avoid clicks.
    static QByteArray Samples(int hertz, int milliseconds, int sampleRate);

private:
    Tone() = default;
    std::unique_ptr<QAudioSink> sink_;
    std::unique_ptr<QBuffer> buffer_;
    QByteArray samples_;
};
