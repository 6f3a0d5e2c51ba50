#include "model/LaunchStrategy.h"

namespace tandrel {

QString strategyText(LaunchStrategy strategy)
{
    switch (strategy) {
    case LaunchStrategy::UserDataDir:
        return QStringLiteral("udd");
    case LaunchStrategy::GeckoProfile:
        return QStringLiteral("gecko");
    case LaunchStrategy::IsolatedHome:
        break;
    }
    return QStringLiteral("home");
}

std::optional<LaunchStrategy> strategyFromText(const QString &text)
{
    for (auto strategy :
        { LaunchStrategy::IsolatedHome, LaunchStrategy::UserDataDir, LaunchStrategy::GeckoProfile }) {
        if (text == strategyText(strategy))
            return strategy;
    }
    return std::nullopt;
}

} // namespace tandrel
