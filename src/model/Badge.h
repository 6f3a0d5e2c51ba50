#pragma once

#include <QByteArray>
#include <QColor>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace tandrel {

// How an instance's badge looks, as its record keeps it. Every member may be empty: an
// empty colour is the one picked from the name (records made before badges were chosen),
// an empty label is the name's first letter, an empty image is none.
struct Badge
{
    QString color = {}; // a palette name ("teal") or "#rrggbb"
    QString label = {}; // one or two characters
    QByteArray image = {}; // a PNG of at most badgeImagePixels square, drawn instead of colour and label

    bool operator==(const Badge &) const = default;
};

// A picked image is kept this small in the record: the badge is at most 380 px across on
// the largest icon, and usually a tenth of that.
inline constexpr int badgeImagePixels = 128;
inline constexpr qsizetype maxBadgeImageBytes = 96 * 1024;
// The file a user picks is read only this far.
inline constexpr qint64 maxBadgeSourceBytes = 16 * 1024 * 1024;

// The palette, in order: each colour reads at 4.5:1 or more under a white letter.
struct BadgeColor
{
    QString name; // as the command line takes it
    QColor color;
};
const QList<BadgeColor> &badgePalette();
// A palette colour's name in the language in force.
QString badgeColorTitle(const QString &name);

// "#rrggbb" or a palette name, lower-cased; nothing when the text is neither.
std::optional<QString> normalizedBadgeColor(const QString &text);
// The colour a stored or typed text names; invalid when it names none.
QColor badgeColorValue(const QString &text);
// The first palette colour none of `used` names, the order starting again when all are.
QString firstFreeBadgeColor(const QStringList &used);
// The colour the letter is drawn in over the background: white, or near-black where white
// would read below 4.5:1.
QColor badgeTextColor(const QColor &background);

// One or two characters (grapheme clusters), none of them a control or a blank.
bool isValidBadgeLabel(const QString &label);
// A picked image made ready for the record: read within the caps, cut to a centred square,
// scaled to badgeImagePixels and encoded as PNG. Throws TandrelError when it cannot be read.
QByteArray badgeImageFromFile(const QString &path);

// The record's "badge" object: only the members set; invalid members are dropped on reading.
QJsonObject badgeToJson(const Badge &badge);
Badge badgeFromJson(const QJsonObject &object);

} // namespace tandrel
