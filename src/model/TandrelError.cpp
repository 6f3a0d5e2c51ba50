#include "model/TandrelError.h"

#include "l10n/Tr.h"
#include "model/Refusals.h"

#include <utility>

namespace tandrel {

TandrelError::TandrelError(QString message)
    : m_message(std::move(message))
    , m_utf8(m_message.toUtf8())
{
}

TandrelError unreadableAppError()
{
    return TandrelError::msg(tandrel::tr(QStringLiteral("No pude leer la app seleccionada."),
        QStringLiteral("Couldn't read the selected app.")));
}

TandrelError existingNameError()
{
    return TandrelError::msg(tandrel::tr(
        QStringLiteral("Ya existe una instancia con ese nombre. Usa otro nombre o elimina la anterior."),
        QStringLiteral(
            "An instance with that name already exists. Use another name or delete the old one.")));
}

} // namespace tandrel
