#pragma once

#include "model/LaunchStrategy.h"

#include <QString>

namespace tandrel {

// The values a launcher script is filled with; all absolute paths without trailing separator.
struct LauncherValues
{
    QString dataDir; // the instance's data folder
    QString realHome; // the user's real home at creation time
    QString targetPath; // the target application bundle
    QString executable; // the target's CFBundleExecutable
};

// Escapes a display name for XML element content: "&", then "<", then ">". Characters
// that XML 1.0 forbids (control characters other than tab, line feed and carriage
// return, lone surrogates, U+FFFE and U+FFFF) are dropped, so the result always parses.
QString xmlEscapeDisplayName(const QString &displayName);

// Escapes "\", "\"", "$" and "`" with a backslash, so a value placed between double
// quotes in a bash script stays literal text and never runs a command.
QString shellEscapeInDoubleQuotes(const QString &value);

// The wrapper's Contents/Info.plist, 28 lines, no line feed after the last one.
// displayName is the unescaped "<app> - <instance>".
QString infoPlistText(const QString &displayName, const QString &instanceId);

// The wrapper's Contents/MacOS/launcher for a strategy, no line feed after the last line.
QString launcherScript(LaunchStrategy strategy, const LauncherValues &values);

} // namespace tandrel
