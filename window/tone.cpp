#include "window/tone.h"

#include <QApplication>
#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QMediaDevices>

#include <cmath>
#include <cstdint>
#include <numbers>

Tone &Tone::Instance()
{
    static Tone tone;
    return tone;
}

QByteArray Tone::Samples(int hertz, int milliseconds, int sampleRate)
{
    const int count = sampleRate * milliseconds / 1000;
    const int fade = sampleRate / 200;
    QByteArray data(count * 2, Qt::Uninitialized);
    auto *out = reinterpret_cast<std::int16_t *>(data.data());
    for (int i = 0; i < count; ++i) {
        double gain = 0.4;
        if (i < fade)
            gain *= double(i) / fade;
        else if (count - i < fade)
            gain *= double(count - i) / fade;
        out[i] = static_cast<std::int16_t>(32767 * gain * std::sin(2 * std::numbers::pi * hertz * i / sampleRate));
    }
    return data;
}

void Tone::Play(int hertz, int milliseconds)
{
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
        QApplication::beep();
        return;
    }
    QAudioFormat format;
    format.setSampleRate(44100);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    if (!device.isFormatSupported(format)) {
        QApplication::beep();
        return;
    }
    if (sink_)
        sink_->stop();
    samples_ = Samples(hertz, milliseconds, format.sampleRate());
    buffer_ = std::make_unique<QBuffer>(&samples_);
    buffer_->open(QIODevice::ReadOnly);
    sink_ = std::make_unique<QAudioSink>(device, format);
    sink_->start(buffer_.get());  // plays on; this returns at once
    if (sink_->error() != QAudio::NoError)
        QApplication::beep();
}
