#pragma once

#include "model/Badge.h"
#include "model/LaunchStrategy.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

namespace tandrel {

// The instance record space.json: six string members and, once chosen, the badge.
struct SpaceRecord
{
    QString id; // lower-case UUID
    QString name; // the cleaned instance name, without the app's name
    QString target; // path of the target bundle
    LaunchStrategy mode = LaunchStrategy::IsolatedHome;
    QString dataDir; // absolute path of the data folder
    QDateTime createdAt;
    Badge badge;

    // Indented UTF-8 JSON; createdAt in UTC to whole seconds.
    QByteArray toJson() const;
};

// What the catalogue takes from a space.json: each member only when it is a string
// (and, for createdAt, a strict ISO 8601 date-time), the others unaffected.
struct SpaceRecordFacts
{
    std::optional<QString> id;
    std::optional<QString> name;
    std::optional<QString> mode;
    std::optional<QString> target;
    std::optional<QString> dataDir;
    std::optional<QDateTime> createdAt;
    Badge badge; // its valid members
};

// The reader never fails: malformed, oversized or non-object input gives no facts.
SpaceRecordFacts readSpaceRecord(const QByteArray &json);

// A record is a few hundred bytes, or a little over a badge image; anything far larger is
// not one of ours.
inline constexpr qsizetype maxSpaceRecordSize = 256 * 1024;

// "2025-03-14T09:26:53Z": full date, "T", whole seconds, "Z", whatever the local zone.
QString formatIsoDateTime(const QDateTime &moment);
// Accepts full date, "T", whole seconds and a zone designator ("Z" or "+hh:mm");
// rejects fractional seconds, date-only and zone-less texts and impossible dates.
std::optional<QDateTime> parseIsoDateTime(const QString &text);

} // namespace tandrel
