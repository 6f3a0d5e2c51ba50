#pragma once

#include <QStringList>

namespace tandrel {

// What the arguments ask for: the window, a command, or a command that draws (create
// draws the badged icon, which needs fonts and so a GUI application, on the offscreen
// platform: no display is ever needed).
// "route" is a command that may end in the link chooser, which needs the GUI application.
enum class Launch { Window, Command, DrawingCommand, Route };
Launch launchFor(const QStringList &arguments);

// The language the arguments ask for this run ("--lang es|en"), applied to the language
// manager without persisting it. False when the value is neither.
bool applyLanguageOption(const QStringList &arguments);

// Runs the command in `arguments` (the program name first) on the application object
// already made, printing to standard output and error. Gives the exit status: 0 done,
// 1 refused or failed, 2 a usage error.
int runCommandLine(const QStringList &arguments);

} // namespace tandrel
