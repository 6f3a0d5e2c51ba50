#pragma once

#include <QImage>
#include <QString>

namespace tandrel {

// The icon a desktop entry names: an image file at an absolute path, or a name looked up
// in the icon themes; null when none is found. Reads files only: any thread.
QImage desktopIcon(const QString &entryPath);

} // namespace tandrel
