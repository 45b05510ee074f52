#pragma once
// Learning what the installed avrdude knows, once per program start, from a cache when it is fresh.
#include "compose/installed.h"

#include <functional>

// Asks the avrdude found as the command line would find it ("avrdude.exe": beside the program, then
// on PATH), through the cache in the user's cache folder; an avrdude that is missing or does not
// answer within 2 seconds gives nothing.
compose::InstalledAvrdude AskInstalledAvrdude();

// The answers of one avrdude binary, kept in `cacheFile` keyed by its path, size and modification
// time, so that a start-up asks avrdude only after it changed.
compose::InstalledAvrdude LoadInstalledAvrdude(const QString &avrdudePath, const QString &cacheFile);

// The key of the cache for one avrdude binary: its path, size and modification time.
QByteArray InstalledCacheKey(const QString &avrdudePath);
// The cache's text, and reading it back (nothing when `key` differs).
QByteArray InstalledCacheText(const QByteArray &key, const compose::InstalledAvrdude &installed);
std::optional<compose::InstalledAvrdude> ParseInstalledCache(const QByteArray &key, const QByteArray &text);
