#pragma once

#include "model/Badge.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QString>

namespace tandrel {

// The canvas is 512 points drawn at twice the density.
inline constexpr int badgedIconPixels = 1024;

// The palette's seven colours in order: blue, purple, pink, orange, teal, green, indigo.
const QList<QColor> &badgeColors();
// The colour for a name: the process's string hash, unsigned, modulo seven.
QColor badgeColorFor(const QString &name);
// The palette name of that colour.
QString badgeColorNameFor(const QString &name);
// The colour an instance's badge shows, by its palette name or "#rrggbb".
QString shownBadgeColor(const QString &spaceName, const Badge &badge);
// The first grapheme cluster of the name, upper-cased by the full mapping ("ß" gives "SS").
QString badgeLetter(const QString &name);

// The badge's text when it has no label of its own.
QString badgeText(const QString &spaceName, const Badge &badge);
// The badge's colour: the chosen one, else the one picked from the name.
QColor badgeColorOf(const QString &spaceName, const Badge &badge);

// The icon scaled to the canvas with a white ring and, in its lower right corner, a
// coloured disc with the letter or label, or the badge's own image cut round.
QImage renderBadgedIcon(const QImage &icon, const QString &spaceName, const Badge &badge = {});

} // namespace tandrel
