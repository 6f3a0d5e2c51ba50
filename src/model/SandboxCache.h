#pragma once

#include <QString>

#include <functional>

namespace tandrel {

// The answer for the app at the path: the cached one, else `read()`'s, which is kept for
// the life of the process (false answers too). Any thread; `read` runs without the lock,
// so other threads go on with their own paths meanwhile.
bool cachedSandboxAnswer(const QString &appPath, const std::function<bool()> &read);

} // namespace tandrel
