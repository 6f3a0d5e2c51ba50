#pragma once

#include "model/Removal.h"

#include <QString>

#include <optional>

namespace tandrel {

// Removes the wrapper when it is a real folder directly inside the instances folder whose
// Info.plist carries Tandrel's identifier (for the instance's own id when it is known), or
// the bare skeleton a failed creation leaves; a link is never followed. A wrapper already
// gone counts as removed. Returns whether nothing is left at its path.
// With `withdrawTo` it is renamed there instead of removed.
bool removeWrapper(const QString &wrapperPath, const QString &spacesDir,
    const std::optional<QString> &instanceId, RemovalReport &report, const QString &withdrawTo = {});

} // namespace tandrel
