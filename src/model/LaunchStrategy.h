#pragma once

#include <QString>

#include <optional>

namespace tandrel {

// How a wrapper starts its target; recorded in space.json as "home", "udd" or "gecko".
enum class LaunchStrategy {
    IsolatedHome, // HOME set to a folder inside the data folder
    UserDataDir, // --user-data-dir= naming the data folder
    GeckoProfile, // --no-remote --profile naming a folder inside the data folder
};

QString strategyText(LaunchStrategy strategy);
std::optional<LaunchStrategy> strategyFromText(const QString &text);

} // namespace tandrel
