#pragma once
// The strip along the window's bottom edge: during a run the time so far, avrdude's progress and a
// Stop button; afterwards the run's outcome until the next run.
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>

namespace widgets {

class RunStrip : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 26;
    explicit RunStrip(QWidget *parent);

    void begin();
    // `percent` -1: no progress is known (the bar runs to and fro).
    void tick(qint64 elapsedMs, int percent);
    void finish(const QString &outcome, bool failed);
    // A run of several steps: which one is under way, said before the time until the run ends.
    void setStep(const QString &step);

    QString text() const { return text_; }
    bool failed() const { return failed_; }  // the outcome shown is a failure
    // The height that shows the whole text at the strip's width: kHeight, or more lines when an
    // outcome's advice is long.
    int wantedHeight() const { return wanted_; }
    QPushButton *stopButton() const { return stop_; }
    QPushButton *endButton() const { return end_; }
    // A button that offers the fix for what the run showed ("Switch to ATmega328P"), until the next run.
    void offer(const QString &caption);
    QPushButton *offerButton() const { return offer_; }

signals:
    void stopClicked();
    void showEndClicked();
    void offerClicked();
    void wantedHeightChanged(int height);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void SetStatus(const QString &text);

    QString text_;
    bool failed_ = false;
    QString step_;
    int wanted_ = kHeight;
    QLabel *status_;
    QProgressBar *bar_;
    QPushButton *stop_;
    QPushButton *end_;
    QPushButton *offer_;
};

}  // namespace widgets
