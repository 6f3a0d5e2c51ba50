#pragma once

#include "model/desktop/DesktopApps.h"

#include <QString>

namespace tandrel {

// What the desktop road says to the user, in the language in force.

// The refusal for a Flatpak or Snap app; also the create sheet's warning.
QString sandboxedRefusal(const DesktopApp &app);
// The app card's tooltip for a Flatpak or Snap app.
QString sandboxedTooltip(const QString &appName);
// Why Flatpak and Snap apps are listed apart.
QString sandboxedExplanation();
// The notice for an app that handsOffToRunningCopy (DesktopRecipes.h).
QString handOffNotice(const DesktopApp &app);
// Why opening the instance did nothing: its entry cannot be started.
QString notStartedMessage(const QString &instanceName);

} // namespace tandrel
