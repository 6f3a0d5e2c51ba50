#pragma once

#include "model/Badge.h"

#include <QDateTime>
#include <QString>
#include <QUrl>

#include <optional>

namespace tandrel {

// One existing instance as read back from disk.
struct SpaceInfo
{
    QUrl url; // the wrapper bundle
    QString name; // from the wrapper's file name
    std::optional<QString> targetPath; // "target" of space.json
    std::optional<QString> dataDir; // "dataDir" of space.json
    std::optional<QDateTime> createdAt; // "createdAt" of space.json
    // The instance id, when the wrapper's bundle identifier and its record agree on it:
    // only then may its data folder be removed with it.
    std::optional<QString> instanceId = std::nullopt;
    std::optional<QString> mode = std::nullopt; // "mode" of space.json: "home", "udd" or "gecko"
    std::optional<QString> instanceName = std::nullopt; // "name" of space.json, without the app's name
    Badge badge = {}; // "badge" of space.json

    QString id() const;
    bool operator==(const SpaceInfo &) const = default;
};

} // namespace tandrel
