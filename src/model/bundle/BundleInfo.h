#pragma once

#include <QString>

#include <optional>

namespace tandrel {

// What the rest of the system needs from an application bundle's Contents/Info.plist,
// read once: discovery, sandbox detection, icons, creation and launching all use it.
struct BundleInfo
{
    // CFBundleExecutable when it is text and a plain file name (see isPlainFileName);
    // empty otherwise, which makes the bundle unreadable for creation and launching.
    QString executable;
    // CFBundleIdentifier when it is text, else empty.
    QString identifier;
    // CFBundleIconFile when it is a plain file name, else empty.
    QString iconFile;

    // Contents/MacOS/<executable>, or empty without a usable executable name.
    QString executablePath(const QString &bundlePath) const;
};

// Nothing when Info.plist is missing, unreadable, too large or not a dictionary. Only the
// keys above are looked up (without building the whole list where its shape allows), with
// one open, one fstat and one read. `notAFolder` tells a path that is a plain file.
std::optional<BundleInfo> readBundleInfo(const QString &bundlePath, bool *notAFolder = nullptr);

// A name that stays inside its folder and can be listed later: not empty, not "." or
// "..", no "/" and no control characters.
bool isPlainFileName(const QString &name);

} // namespace tandrel
