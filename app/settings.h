#pragma once
// Where the settings file lives, and the programmers whose output line it can set.
#include <QString>
#include <QStringList>

// "Fusewerk.ini" beside the executable when that directory is writable and not a system program
// folder (…/usr/bin, …/usr/local/bin, …/usr/games); otherwise in the per-user configuration directory.
QString ChooseSettingsPath(const QString &exeDir, bool exeDirWritable, const QString &userConfigDir);

// The 39 programmer identifiers of "ReadFuseFromLine", in the programmer list's order.
QStringList ReadLineProgrammers();
// The line a programmer's read finds its value on when the file says nothing.
int DefaultReadLine(const QString &programmer);
