#pragma once

#include <QString>

namespace tandrel {

// Picks the Spanish (first) or the English (second) text by the language in force.
// Inside a QObject subclass an unqualified tr() is QObject::tr: always write tandrel::tr.
QString tr(const QString &spanish, const QString &english);

} // namespace tandrel
