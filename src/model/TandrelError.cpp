#include "model/TandrelError.h"

#include "l10n/Tr.h"
#include "model/Refusals.h"
#include "platform/FileSystem.h"

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

TandrelError notAFolderError(const QString &path, bool danglingLink)
{
    const QString quoted = QLatin1Char('"') + path + QLatin1Char('"');
    return TandrelError::msg(danglingLink
            ? tandrel::tr(quoted + QStringLiteral(" es un enlace simbólico a una carpeta que no existe."),
                quoted + QStringLiteral(" is a symbolic link to a folder that doesn't exist."))
            : tandrel::tr(
                quoted + QStringLiteral(" no es una carpeta."), quoted + QStringLiteral(" isn't a folder.")));
}

void requireFolder(const QString &path)
{
    const fs::ItemKind kind = fs::itemKind(path);
    if (kind == fs::ItemKind::Directory)
        return;
    if (kind == fs::ItemKind::Link || kind == fs::ItemKind::Missing) {
        const QString resolved = fs::resolvedPath(path);
        if (kind == fs::ItemKind::Link && resolved.isEmpty())
            throw notAFolderError(path, true);
        if (kind == fs::ItemKind::Missing || fs::itemKind(resolved) == fs::ItemKind::Directory) {
            fs::createDirectory(path);
            return;
        }
    }
    throw notAFolderError(path, false);
}

QString takesNoLinksMessage(const QString &name)
{
    const QString quoted = QLatin1Char('"') + name + QLatin1Char('"');
    return tandrel::tr(quoted + QStringLiteral(" no abre enlaces: su programa no recibe direcciones web."),
        quoted + QStringLiteral(" doesn't open links: its program takes no web addresses."));
}

} // namespace tandrel
