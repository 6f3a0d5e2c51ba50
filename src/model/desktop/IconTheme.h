#pragma once

#include <QString>

namespace tandrel {

// The file of the named icon as the desktop finds it: the theme iconThemeName() names, the themes it
// inherits, hicolor, then the pixmaps folders; in each theme an exact size first, else the
// smallest larger one, else the largest smaller one. Empty when no theme has it. Reads
// files only: any thread.
QString themeIconFile(const QString &name, int size);

} // namespace tandrel
