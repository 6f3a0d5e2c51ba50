#pragma once

#include <QString>

namespace tandrel {

// Tandrel as the desktop's handler of web links (http and https), by the user's choice:
// links then reach "tandrel route". On Linux a desktop entry of Tandrel's own declares the
// two link types and is made their default through the desktop's own associations
// (mimeapps.list, through GIO); on macOS Tandrel's bundle declares them and Launch Services
// makes it the default. The defaults replaced are remembered in the settings.
namespace linkhandler {

// Whether Tandrel is the default for both kinds of link now.
bool isDefault();
// Makes it the default for both, remembering the defaults it replaces (not itself, when it
// already is). `program` is Tandrel's executable. False, with nothing changed that matters,
// when the desktop refused.
bool makeDefault(const QString &program);
// Gives each kind of link back to the default remembered for it (when it is still installed
// and Tandrel is still the default: a choice the user made since is kept) and removes
// Tandrel's link entry. Safe to call when Tandrel never was the default.
void restoreDefaults();

} // namespace linkhandler
} // namespace tandrel
