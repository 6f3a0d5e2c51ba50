#pragma once

#include <QString>

namespace tandrel {

// Names that place the app's settings in its own defaults domain on macOS
// and in ~/.config/Tandrel on Linux.
void setApplicationNames();
// The same, with the desktop file name and window icon of the GUI application.
void setApplicationIdentity();

// The app keeps no log: Qt's and image decoders' warnings about other apps' damaged
// files are dropped in release builds (in every build with `always`, as the command line
// wants); critical messages still reach standard error.
void installQuietMessageHandler(bool always = false);

// A one-line explanation when no graphical display can be reached, or empty when one can.
QString missingDisplayMessage(const QString &program);

} // namespace tandrel
