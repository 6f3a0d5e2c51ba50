#pragma once

#include <QString>

namespace tandrel {

// An instance id: a random UUID in its 36-character form, lower case. It names the data
// folder and is carried by the launcher, so nothing is removed without it.
bool isInstanceId(const QString &text);
// A fresh one.
QString newInstanceId();

} // namespace tandrel
