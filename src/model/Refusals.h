#pragma once

#include "model/TandrelError.h"

namespace tandrel {

// The refusals both roads of creation give, in the language in force.
TandrelError unreadableAppError();
TandrelError existingNameError();
// Where Tandrel must write into a folder and finds a file, or a link to nothing.
TandrelError notAFolderError(const QString &path, bool danglingLink);
// Why links cannot be opened in the instance or app of that name: it takes no addresses.
QString takesNoLinksMessage(const QString &name);
// Makes the folder and its missing parents; one that is in the way is refused by name.
void requireFolder(const QString &path);

} // namespace tandrel
