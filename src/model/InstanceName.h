#pragma once

#include <QString>

namespace tandrel {

// The instance name as typed, cleaned: white space trimmed at both ends, then every "/"
// and ":" made "-", then every double quote removed.
QString cleanedInstanceName(const QString &typed);

// The longest wrapper file name, in UTF-8 bytes, that file systems accept.
inline constexpr qsizetype maxWrapperNameBytes = 255;

// Refuses, with a TandrelError in the language in force, a cleaned name that is blank
// (made only of quotes and white space, say), holds control characters (a line break
// inside the name would leave an instance that cannot be listed or deleted), or is too
// long for the wrapper "<appName> - <name>.app" to be a file name.
void checkInstanceName(const QString &cleaned, const QString &appName);

} // namespace tandrel
