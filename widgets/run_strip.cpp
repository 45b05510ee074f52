#include "widgets/run_strip.h"

#include "widgets/controls.h"

#include <QHBoxLayout>

namespace widgets {

RunStrip::RunStrip(QWidget *parent)
    : QWidget(parent), status_(new QLabel(this)), bar_(new QProgressBar(this)),
      stop_(new QPushButton(QStringLiteral("Stop"), this)),
      end_(new QPushButton(QStringLiteral("Show the end of the output"), this)), offer_(new QPushButton(this))
{
    setObjectName(QStringLiteral("RunStrip"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(3, 1, 3, 1);
    row->addWidget(status_, 1);
    row->addWidget(bar_, 1);
    row->addWidget(offer_);
    row->addWidget(end_);
    row->addWidget(stop_);
    status_->setObjectName(QStringLiteral("RunStatus"));
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    status_->setWordWrap(true);
    stop_->setObjectName(QStringLiteral("StopButton"));
    stop_->setToolTip(QStringLiteral("Stop avrdude now (Escape)"));
    end_->setObjectName(QStringLiteral("ShowEndButton"));
    bar_->setTextVisible(false);
    bar_->hide();
    stop_->hide();
    end_->hide();
    offer_->setObjectName(QStringLiteral("OfferButton"));
    offer_->hide();
    connect(offer_, &QPushButton::clicked, this, &RunStrip::offerClicked);
    connect(offer_, &QPushButton::clicked, offer_, &QWidget::hide);
    connect(stop_, &QPushButton::clicked, this, &RunStrip::stopClicked);
    connect(end_, &QPushButton::clicked, this, &RunStrip::showEndClicked);
}

void RunStrip::offer(const QString &caption)
{
    offer_->setText(caption);
    offer_->show();
    SetStatus(text_);  // the room left for the status changed
}

void RunStrip::SetStatus(const QString &text)
{
    // The whole text, wrapped when it is longer than the room beside the buttons: the strip asks
    // for the lines it needs.
    text_ = text;
    status_->setToolTip(text);
    int room = width() - 16;
    for (QWidget *w : {static_cast<QWidget *>(bar_), static_cast<QWidget *>(stop_), static_cast<QWidget *>(end_),
                       static_cast<QWidget *>(offer_)})
        if (!w->isHidden())
            room -= w->sizeHint().width() + 6;
    room = std::max(40, room);
    status_->setText(text);
    const int lines = status_->fontMetrics().boundingRect(QRect(0, 0, room, 100000), Qt::TextWordWrap, text).height();
    const int wanted = std::max(kHeight, lines + 6);
    if (wanted != wanted_) {
        wanted_ = wanted;
        emit wantedHeightChanged(wanted_);
    }
}

void RunStrip::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    SetStatus(text_);
}

void RunStrip::begin()
{
    status_->setPalette(palette());
    step_.clear();
    SetStatus(QStringLiteral("Running..."));
    end_->hide();
    offer_->hide();
    bar_->setRange(0, 0);
    bar_->show();
    stop_->show();
}

void RunStrip::tick(qint64 elapsedMs, int percent)
{
    const QString time = QString::number(static_cast<double>(elapsedMs) / 1000.0, 'f', 1);
    SetStatus(step_.isEmpty() ? QStringLiteral("Running for %1 s").arg(time)
                              : QStringLiteral("%1, running for %2 s").arg(step_, time));
    if (percent < 0) {
        bar_->setRange(0, 0);
    } else {
        bar_->setRange(0, 100);
        bar_->setValue(percent);
    }
}

void RunStrip::setStep(const QString &step)
{
    step_ = step;
    SetStatus(step);
}

void RunStrip::finish(const QString &outcome, bool failed)
{
    bar_->hide();
    stop_->hide();
    failed_ = failed;
    end_->setVisible(failed);
    QPalette colours = palette();
    // Qt's palette has no error role: the Write captions' red, readable on the window's background.
    if (failed)
        colours.setColor(QPalette::WindowText, ReadableOn(kWriteHue, colours.color(QPalette::Window)));
    status_->setPalette(colours);
    SetStatus(outcome);
}

}  // namespace widgets
