#include "model/Mode.h"

#include "l10n/Tr.h"

namespace tandrel {

QList<Mode> allModes()
{
    return { Mode::Auto, Mode::Home };
}

QString rawValue(Mode mode)
{
    return mode == Mode::Auto ? QStringLiteral("Automático") : QStringLiteral("HOME aislado");
}

std::optional<Mode> modeFromRawValue(const QString &raw)
{
    for (Mode mode : allModes()) {
        if (raw == rawValue(mode))
            return mode;
    }
    return std::nullopt;
}

QString label(Mode mode)
{
    if (mode == Mode::Auto)
        return tandrel::tr(QStringLiteral("Automático"), QStringLiteral("Automatic"));
    return tandrel::tr(QStringLiteral("HOME aislado"), QStringLiteral("Isolated HOME"));
}

} // namespace tandrel
