#pragma once

#include "model/Road.h"

#include <QList>
#include <QString>

namespace tandrel {

// The roads of this platform, in the order they are asked: the bundle road everywhere,
// then the desktop road where the build has GIO. Lists built from several roads keep this
// order where the order shows (the sandbox explanations, the uninstall confirmation).
const QList<const Road *> &roads();

// The road of an app or instance path: the first that owns it, else the first road (a
// plain executable, say, is read as the bundle road reads its executables).
const Road &roadFor(const QString &path);

// Replaces the roads (not owned) until called again; an empty list restores the
// platform's. For tests, which run the Store on a fake road.
void setRoads(QList<const Road *> replacement);

} // namespace tandrel
