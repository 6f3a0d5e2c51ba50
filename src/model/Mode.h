#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace tandrel {

// The isolation mode the user picks when creating an instance. Never written to disk.
enum class Mode { Auto, Home };

QList<Mode> allModes();
// "Automático" or "HOME aislado": also the mode's id.
QString rawValue(Mode mode);
// Exactly the two raw values, case and accents included.
std::optional<Mode> modeFromRawValue(const QString &raw);
// The label in the language in force, chosen afresh at every call.
QString label(Mode mode);

} // namespace tandrel
