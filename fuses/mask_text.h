#pragma once
// The value of a masked field: a fixed number of positions, each filled or unfilled ("_").
#include <QString>
#include <QStringView>

namespace fuses {

class MaskText {
public:
    static constexpr QChar kUnfilled = u'_';

    // `upper`: letters forced to upper case. `digitsOnly`: positions take decimal digits only.
    MaskText(int positions, bool upper, bool digitsOnly, QStringView initial);

    // Text set by code: blanks read as unfilled positions, a short text is padded with unfilled
    // positions, a long text is kept whole (it is not cut to the mask).
    void SetText(QStringView text);

    // Unfilled positions at the end dropped, unfilled ones before the last filled one as blanks.
    QString Text() const;
    // Every position as shown, unfilled ones as "_".
    const QString &RawText() const { return raw_; }
    // True when one of the mask's positions is unfilled.
    bool HasUnfilled() const;

    // Editing at a cursor position; each returns the new cursor position.
    int Type(int pos, QChar c);          // overwrite one position; pos unchanged when it takes nothing
    int Clear(int from, int to);         // unfill positions [from, to)
    int Backspace(int pos);              // unfill the position before pos
    int Paste(int pos, QStringView text);  // overwrite from pos, as far as the positions go

private:
    bool Accepts(QChar c) const;
    QChar Shown(QChar c) const;

    int positions_;
    bool upper_;
    bool digitsOnly_;
    QString raw_;
};

}  // namespace fuses
