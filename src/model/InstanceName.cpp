#include "model/InstanceName.h"

#include "l10n/Tr.h"
#include "model/InstalledApp.h"
#include "model/TandrelError.h"

namespace tandrel {

QString cleanedInstanceName(const QString &typed)
{
    QString cleaned = typed.trimmed();
    cleaned.replace(QLatin1Char('/'), QLatin1Char('-'));
    cleaned.replace(QLatin1Char(':'), QLatin1Char('-'));
    cleaned.remove(QLatin1Char('"'));
    return cleaned;
}

void checkInstanceName(const QString &cleaned, const QString &appName)
{
    if (cleaned.trimmed().isEmpty())
        throw TandrelError::msg(tandrel::tr(
            QStringLiteral("Ponle un nombre a la instancia."), QStringLiteral("Give the instance a name.")));
    if (hasControlCharacters(cleaned))
        throw TandrelError::msg(tandrel::tr(
            QStringLiteral(
                "El nombre no puede contener saltos de línea, tabuladores ni otros caracteres de control."),
            QStringLiteral("The name can't contain line breaks, tabs or other control characters.")));
    const QString wrapperName = appName + QStringLiteral(" - ") + cleaned + QStringLiteral(".app");
    if (wrapperName.toUtf8().size() > maxWrapperNameBytes)
        throw TandrelError::msg(
            tandrel::tr(QStringLiteral("El nombre es demasiado largo. Usa uno más corto."),
                QStringLiteral("The name is too long. Use a shorter one.")));
}

} // namespace tandrel
