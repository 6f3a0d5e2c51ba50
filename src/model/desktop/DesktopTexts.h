#pragma once

#include "model/desktop/DesktopApps.h"
#include "model/desktop/DesktopRecipes.h"
#include "platform/Workspace.h"

#include <QString>

namespace tandrel {

// What the desktop road says to the user, in the language in force.

// The refusal for a Flatpak or Snap app; also the create sheet's warning.
QString sandboxedRefusal(const DesktopApp &app);
// The app card's tooltip for a Flatpak or Snap app.
QString sandboxedTooltip(const QString &appName);
// Why Flatpak and Snap apps are listed apart.
QString sandboxedExplanation();
// What the user should know about an instance of the app made as the plan says: that the
// two copies cannot be kept apart (both orders), what a bus of its own costs, and that its
// windows keep the app's class. Empty when there is nothing to say.
QString copyNotice(const DesktopApp &app, const CopyPlan &plan);
// Why opening the instance did nothing: its entry cannot be started.
QString notStartedMessage(const QString &instanceName);
// That the instance ended with an error right after it started, with its last lines of
// error output.
QString earlyExitMessage(const QString &instanceName, const EarlyExit &exit);

} // namespace tandrel
