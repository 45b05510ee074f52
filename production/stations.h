#pragma once
// A bench of programmers: each station a programmer and its port, programming boards beside the
// others; and the serial numbers they hand out, kept so that no two good boards ever carry the same
// number, whatever happens to the program between two boards.
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>

namespace production {

// One programmer of the bench: avrdude's -c and -P, and the bit clock, baud rate and extended
// options it needs.
struct Station {
    QString programmer;     // -c
    QString port;           // -P; empty: avrdude's default
    QString baud;           // -b
    QString bitClock;       // -B
    QStringList extended;   // each -x
    // The station as the user writes it: "-c usbasp -P usb:A1B2" (each value quoted where it must be).
    QString text() const;
    // The options beyond -c and -P, for the line's extra options ("-B 4 -x rtsdtr=high").
    QString extraOptions() const;
};

// A station from its words (the text split as a command line is): -c, -P, -b, -B and -x only, each
// with its value attached ("-cusbasp") or as the next word; -c is needed. Otherwise nothing, and
// `error` says why.
std::optional<Station> ParseStation(const QStringList &words, QString *error);

// Where the serial numbers stand: the next new one, those given back by boards that failed (handed
// out again before any new one), and those handed out to boards under way, with their stations.
struct SerialBook {
    std::uint32_t first = 1;  // where the series began
    std::uint32_t next = 1;
    bool exhausted = false;   // the last number (4294967295) has been handed out
    std::set<std::uint32_t> free;
    std::map<std::uint32_t, QString> pending;

    // The number the next board gets; nothing when none is left.
    std::optional<std::uint32_t> peek() const;
};

// The book as text and back: lines of "first=", "next=", "free=" (numbers, comma-separated) and
// "pending=" (NUMBER@STATION, comma-separated, the station percent-encoded).
QString FormatBook(const SerialBook &book);
std::optional<SerialBook> ParseBook(const QString &text, QString *error);
// The lists alone, for a settings file.
QString FormatFree(const std::set<std::uint32_t> &free);
QString FormatPending(const std::map<std::uint32_t, QString> &pending);
std::set<std::uint32_t> ParseFree(const QString &text);
std::map<std::uint32_t, QString> ParsePending(const QString &text);

// The book in a file of its own: written whole to a new file, synced and renamed over the old, so
// the file holds the old book or the new one, never a part. A file that is not there is an empty
// book (nothing, no error); one that cannot be read or parsed is an error.
bool SaveBookFile(const QString &path, const SerialBook &book, QString *error);
std::optional<SerialBook> LoadBookFile(const QString &path, bool *found, QString *error);

// Hands the numbers out: each change of the book is kept (by `keep`, which writes it where it
// lives) before the number it concerns is used, and a number is only ever taken from `free` or
// `next`, so no number is handed to two boards under way, and one kept for a good board never again.
class SerialLedger {
public:
    using Keep = std::function<bool(const SerialBook &book, QString *error)>;
    SerialLedger(SerialBook book, Keep keep) : book_(std::move(book)), keep_(std::move(keep)) {}

    const SerialBook &book() const { return book_; }
    // After a restart: the numbers that were under way when the program ended, with their
    // stations, go back to be handed out again (and are kept so); they are returned for the log.
    std::map<std::uint32_t, QString> reclaim(QString *error);
    // The next number, for a board starting on `station`; nothing (and `error`) when none is left or
    // the book cannot be kept: that board must not start.
    std::optional<std::uint32_t> take(const QString &station, QString *error);
    // The board with `number` succeeded: the number is used for good.
    bool confirm(std::uint32_t number, QString *error);
    // The board with `number` failed or was stopped: the number goes to the next board.
    bool giveBack(std::uint32_t number, QString *error);

private:
    bool kept(const SerialBook &changed, QString *error);
    SerialBook book_;
    Keep keep_;
};

}  // namespace production
