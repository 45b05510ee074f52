#pragma once
// Follows avrdude's progress bars in its output as the output passes: "Reading | " or "Writing | ",
// then one "#" for every 2 %, then " | 100% 0.12s" (on a terminal the bar is redrawn after a carriage
// return, "Writing | ####    | 45% 0.12s").
#include <QString>

namespace runner {

class ProgressWatch {
public:
    void see(const QString &piece);
    // The percentage of the bar being drawn, or -1 when no bar is being drawn.
    int percent() const { return percent_; }

private:
    QString bar_;  // the text since the last bar's caption
    bool inBar_ = false;
    int percent_ = -1;
};

}  // namespace runner
