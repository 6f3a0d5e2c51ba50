#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QString>

namespace tandrel {

// The canvas is 512 points drawn at twice the density.
inline constexpr int badgedIconPixels = 1024;

// Seven distinct colours in a fixed order: blue, purple, pink, orange, teal, green, indigo.
const QList<QColor> &badgeColors();
// The colour for a name: the process's string hash, unsigned, modulo seven.
QColor badgeColorFor(const QString &name);
// The first grapheme cluster of the name, upper-cased by the full mapping ("ß" gives "SS").
QString badgeLetter(const QString &name);

// The icon scaled to the canvas with a white ring, a coloured disc and the white letter
// in its lower right corner.
QImage renderBadgedIcon(const QImage &icon, const QString &spaceName);

} // namespace tandrel
