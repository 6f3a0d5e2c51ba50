#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantMap>

#include <optional>

namespace tandrel {

// Property lists larger than this are not read: real ones are a few kilobytes.
inline constexpr qint64 maxPropertyListSize = 1024 * 1024;

// Reads an XML or binary property list whose top level is a dictionary. XML may start with
// a byte-order mark (UTF-8, or UTF-16 in either order) and whitespace.
// Values become QString, bool, qint64, double,
// QDateTime (UTC), QByteArray, QVariantList and QVariantMap; a Boolean stays a
// bool, so callers can tell true from 1. Gives nothing when the input is larger
// than the cap, malformed, nested absurdly deep, or not a dictionary.
std::optional<QVariantMap> readPropertyList(const QByteArray &bytes);

// The same for a file, read whole only when it is within the cap. Gives nothing
// when the file is missing, unreadable, too large or not a regular file.
std::optional<QVariantMap> readPropertyListFile(const QString &path);

} // namespace tandrel
