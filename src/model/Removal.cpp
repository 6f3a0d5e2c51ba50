#include "model/Removal.h"

#include "l10n/Tr.h"
#include "model/FaultPoint.h"
#include "model/InstanceId.h"
#include "model/Staging.h"
#include "platform/FileSystem.h"

#include <QDir>

namespace tandrel {
namespace {

QString fileNameOf(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString describe(const Leftover &leftover)
{
    const QString path = QLatin1Char('"') + leftover.path + QLatin1Char('"');
    switch (leftover.reason) {
    case LeftoverReason::NotMadeByTandrel:
        return tandrel::tr(path + QStringLiteral(": Tandrel no lo creó, así que se dejó donde está."),
            path + QStringLiteral(": Tandrel didn't create it, so it was left in place."));
    case LeftoverReason::Link:
        return tandrel::tr(path + QStringLiteral(": es un enlace simbólico; no se siguió ni se eliminó."),
            path + QStringLiteral(": it's a symbolic link; it was neither followed nor removed."));
    case LeftoverReason::NotItsDataFolder:
        return tandrel::tr(
            path + QStringLiteral(": no es la carpeta de datos de esta instancia, así que se dejó intacta."),
            path + QStringLiteral(": it isn't this instance's data folder, so it was left untouched."));
    case LeftoverReason::KeptWithInstance:
        return tandrel::tr(
            path + QStringLiteral(": se conservaron los datos porque la instancia no se pudo eliminar."),
            path + QStringLiteral(": the data was kept because the instance itself couldn't be removed."));
    case LeftoverReason::Failed:
        break;
    }
    return tandrel::tr(
        path + QStringLiteral(": no se pudo eliminar (") + leftover.detail + QStringLiteral(")."),
        path + QStringLiteral(": couldn't be removed (") + leftover.detail + QStringLiteral(")."));
}

} // namespace

bool removeReporting(const QString &path, RemovalReport &report)
{
    try {
        fs::removeItem(path);
        return true;
    } catch (const FileSystemError &error) {
        report.leftovers.append({ path, LeftoverReason::Failed, error.errorDescription() });
        return false;
    }
}

bool removeLauncherWhenOurs(const QString &path, const std::function<bool()> &isOurs, RemovalReport &report,
    const QString &withdrawTo)
{
    const fs::ItemKind kind = fs::itemKind(path);
    if (kind == fs::ItemKind::Missing)
        return true;
    if (kind == fs::ItemKind::Link) {
        report.leftovers.append({ path, LeftoverReason::Link, {} });
        return false;
    }
    if (!isOurs()) {
        report.leftovers.append({ path, LeftoverReason::NotMadeByTandrel, {} });
        return false;
    }
    if (withdrawTo.isEmpty())
        return removeReporting(path, report);
    try {
        fs::renameItem(path, withdrawTo);
        return true;
    } catch (const FileSystemError &error) {
        report.leftovers.append({ path, LeftoverReason::Failed, error.errorDescription() });
        return false;
    }
}

QString RemovalReport::message() const
{
    if (leftovers.isEmpty())
        return {};
    QStringList lines { tandrel::tr(
        QStringLiteral("No se eliminó todo:"), QStringLiteral("Not everything was removed:")) };
    for (const Leftover &leftover : leftovers)
        lines << QStringLiteral("• ") + describe(leftover);
    return lines.join(QLatin1Char('\n'));
}

void removeDataFolder(const QString &recordedDataDir, const std::optional<QString> &instanceId,
    const QStringList &dataRoots, RemovalReport &report)
{
    const QString recorded = QDir::cleanPath(recordedDataDir);
    QString realRoot;
    bool named = false;
    for (const QString &dataRoot : dataRoots) {
        realRoot = fs::resolvedPath(dataRoot);
        named = instanceId && isInstanceId(*instanceId)
            && (recorded == dataRoot + QLatin1Char('/') + *instanceId
                || (!realRoot.isEmpty() && recorded == realRoot + QLatin1Char('/') + *instanceId));
        if (named)
            break;
    }
    if (!named) {
        if (fs::itemKind(recordedDataDir) != fs::ItemKind::Missing)
            report.leftovers.append({ recordedDataDir, LeftoverReason::NotItsDataFolder, {} });
        return;
    }
    if (realRoot.isEmpty())
        return; // no data root, so no data folder
    const QString folder = realRoot + QLatin1Char('/') + *instanceId;
    switch (fs::itemKind(folder)) {
    case fs::ItemKind::Missing:
        return;
    case fs::ItemKind::Directory: {
        // Out of its name first: a removal cut short leaves a folder recovery recognises.
        const QString gone = stagedPath(realRoot, *instanceId, Stage::Gone);
        try {
            fs::renameItem(folder, gone);
        } catch (const FileSystemError &error) {
            report.leftovers.append({ folder, LeftoverReason::Failed, error.errorDescription() });
            return;
        }
        faultPoint("delete-data-renamed");
        removeReporting(gone, report);
        return;
    }
    case fs::ItemKind::Link:
        report.leftovers.append({ recordedDataDir, LeftoverReason::Link, {} });
        return;
    default:
        report.leftovers.append({ recordedDataDir, LeftoverReason::NotItsDataFolder, {} });
        return;
    }
}

void removeRoot(const QString &root, RemovalReport &report)
{
    const fs::ItemKind kind = fs::itemKind(root);
    if (kind == fs::ItemKind::Link) {
        removeReporting(root, report);
    } else if (kind == fs::ItemKind::Directory) {
        try {
            if (fs::contentsOfDirectory(root).isEmpty())
                fs::removeEmptyDirectory(root);
        } catch (const FileSystemError &error) {
            report.leftovers.append({ root, LeftoverReason::Failed, error.errorDescription() });
        }
    }
}

bool isFinderMetadata(const QString &path)
{
    return fileNameOf(path) == QLatin1String(".DS_Store") && fs::itemKind(path) == fs::ItemKind::File;
}

QStringList entriesOf(const QString &folder)
{
    try {
        return fs::contentsOfDirectory(folder);
    } catch (const FileSystemError &) {
        return {};
    }
}

void removeDataRoot(const QString &dataRoot, RemovalReport &report)
{
    for (const QString &entry : entriesOf(dataRoot)) {
        const fs::ItemKind kind = fs::itemKind(entry);
        if (isFinderMetadata(entry))
            removeReporting(entry, report);
        else if (kind == fs::ItemKind::Directory && isInstanceId(fileNameOf(entry)))
            removeReporting(entry, report);
        else if (isStagedName(fileNameOf(entry)))
            removeReporting(entry, report);
        else
            report.leftovers.append({ entry,
                kind == fs::ItemKind::Link ? LeftoverReason::Link : LeftoverReason::NotMadeByTandrel, {} });
    }
    removeRoot(dataRoot, report);
}

} // namespace tandrel
