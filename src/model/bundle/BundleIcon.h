#pragma once

#include "model/Badge.h"
#include "model/InstalledApp.h"

#include <QImage>
#include <QString>

namespace tandrel {

// The bundle's own icon: the largest image of the ICNS its Info.plist names, or null.
// Reads files only: any thread.
QImage bundleIcon(const QString &path);

// Draws the app's icon with the badge and writes it as a one-image ICNS file.
// Throws TandrelError when the image cannot be encoded or the file cannot be written.
void writeBadgedIcon(
    const InstalledApp &app, const QString &spaceName, const QString &path, const Badge &badge = {});

} // namespace tandrel
