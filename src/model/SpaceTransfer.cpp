// An instance in one file and back (export, import), and a second instance with a copy of
// one's data (duplicate): the archive and the copy in InstanceArchive.cpp, the new instance
// built as creating builds one, its data added before anything is put in place.
#include "model/Store.h"

#include "l10n/Tr.h"
#include "model/InstanceArchive.h"
#include "model/OperationLock.h"
#include "model/Roads.h"
#include "model/TandrelError.h"
#include "platform/FileSystem.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace tandrel {
namespace {

QString quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// The instance as it stands now (another Tandrel may have changed it), when its data folder
// is its own and nothing runs from it.
SpaceInfo copyableSpace(const SpaceInfo &asked)
{
    std::optional<SpaceInfo> current;
    for (const SpaceInfo &space : roadFor(asked.id()).scanInstances()) {
        if (space.url == asked.url)
            current = space;
    }
    bool owned = false;
    if (current && current->instanceId && current->dataDir && current->mode && current->targetPath
        && fs::itemKind(*current->dataDir) == fs::ItemKind::Directory) {
        for (const QString &root : roadFor(current->id()).dataRoots())
            owned = owned || *current->dataDir == root + QLatin1Char('/') + *current->instanceId;
    }
    if (!owned)
        throw TandrelError::msg(
            tandrel::tr(QStringLiteral("No se pueden copiar los datos de ") + quoted(asked.name)
                    + QStringLiteral(": su registro está incompleto o su carpeta de datos no es suya."),
                QStringLiteral("Can't copy the data of ") + quoted(asked.name)
                    + QStringLiteral(": its record is incomplete or its data folder is not its own.")));
    if (!Store::runningProcesses({ *current }).isEmpty())
        throw TandrelError::msg(tandrel::tr(QStringLiteral("Cierra ") + quoted(asked.name)
                + QStringLiteral(" antes de copiar sus datos: mientras está abierta, se copiarían a medias."),
            QStringLiteral("Quit ") + quoted(asked.name)
                + QStringLiteral(" before copying its data: while it runs they would copy half-written.")));
    return *current;
}

// What an archive's manifest says: the record, and the app by name and identifier.
struct Manifest
{
    SpaceRecordFacts record;
    QString appName;
    QString identifier;
};

Manifest parseManifest(const QByteArray &bytes)
{
    const QJsonObject object = QJsonDocument::fromJson(bytes).object();
    Manifest manifest;
    manifest.record = readSpaceRecord(
        QJsonDocument(object.value(QStringLiteral("record")).toObject()).toJson(QJsonDocument::Compact));
    const QJsonObject app = object.value(QStringLiteral("app")).toObject();
    manifest.appName = app.value(QStringLiteral("name")).toString();
    manifest.identifier = app.value(QStringLiteral("identifier")).toString();
    if (object.value(QStringLiteral("format")).toInt() != 1 || !manifest.record.name || !manifest.record.mode
        || !strategyFromText(*manifest.record.mode) || manifest.appName.isEmpty())
        throw TandrelError::msg(tandrel::tr(
            QStringLiteral("No se puede importar el archivo: su descripción de la instancia está dañada."),
            QStringLiteral("Can't import the archive: its description of the instance is damaged.")));
    return manifest;
}

// The app the archive's instance was made of, among those installed here: at the same
// path with the same identifier, else anywhere with that identifier.
InstalledApp archivedApp(const Manifest &manifest)
{
    const auto same = [&manifest](const InstalledApp &app) {
        return manifest.identifier.isEmpty() || Store::factsOf(app).identifier == manifest.identifier;
    };
    if (manifest.record.target && fs::itemKind(*manifest.record.target) != fs::ItemKind::Missing) {
        if (const std::optional<InstalledApp> app = Store::appAt(*manifest.record.target); app && same(*app))
            return *app;
    }
    const QList<InstalledApp> apps = Store::listApps(Store::defaultApplicationFolders());
    for (const InstalledApp &app : apps) {
        if (!manifest.identifier.isEmpty() && same(app))
            return app;
    }
    throw TandrelError::msg(tandrel::tr(QStringLiteral("La app ") + quoted(manifest.appName)
            + QStringLiteral(" (") + manifest.identifier
            + QStringLiteral(") no está instalada aquí. Instálala e importa de nuevo."),
        QStringLiteral("The app ") + quoted(manifest.appName) + QStringLiteral(" (") + manifest.identifier
            + QStringLiteral(") is not installed here. Install it and import again.")));
}

} // namespace

void Store::exportSpace(const SpaceInfo &space, const QString &file, const Transfer &transfer)
{
    // Held throughout, so that the instance is not renamed or deleted while it is read.
    const OperationLock lock(patience(), lockWaiting());
    const SpaceInfo current = copyableSpace(space);
    const std::optional<InstalledApp> target = appAt(*current.targetPath);
    SpaceRecord record;
    record.id = *current.instanceId;
    record.name = current.instanceName.value_or(current.name);
    record.target = *current.targetPath;
    record.mode = strategyFromText(*current.mode).value_or(LaunchStrategy::IsolatedHome);
    record.dataDir = *current.dataDir;
    record.createdAt = current.createdAt.value_or(QDateTime::currentDateTimeUtc());
    record.badge = current.badge;
    const QString appName = target ? target->name() : current.name.section(QStringLiteral(" - "), 0, 0);
    const QJsonObject manifest {
        { QStringLiteral("format"), 1 },
        { QStringLiteral("app"),
            QJsonObject { { QStringLiteral("name"), appName },
                { QStringLiteral("identifier"), target ? factsOf(*target).identifier : QString() } } },
        { QStringLiteral("record"), QJsonDocument::fromJson(record.toJson()).object() },
    };
    writeInstanceArchive(file, QJsonDocument(manifest).toJson(), record.dataDir, transfer);
}

Store::ArchiveFacts Store::archiveFacts(const QString &file)
{
    const Manifest manifest = parseManifest(readArchiveManifest(file));
    return { *manifest.record.name, manifest.appName };
}

QString Store::freeInstanceName(const QString &appName, const QString &name)
{
    QSet<QString> taken;
    for (const Road *road : roads()) {
        for (const SpaceInfo &space : road->scanInstances())
            taken.insert(space.name);
    }
    QString candidate = name;
    for (int number = 2; taken.contains(appName + QStringLiteral(" - ") + candidate) && number < 1000;
         ++number)
        candidate = name + QLatin1Char(' ') + QString::number(number);
    return candidate;
}

QUrl Store::importSpace(const QString &file, const std::optional<QString> &name, const Transfer &transfer)
{
    const Manifest manifest = parseManifest(readArchiveManifest(file));
    const InstalledApp target = archivedApp(manifest);
    SpaceRecord record = planSpace(
        target, name.value_or(*manifest.record.name), Mode::Auto, strategyFromText(*manifest.record.mode));
    if (!manifest.record.badge.color.isEmpty() || !manifest.record.badge.label.isEmpty()
        || !manifest.record.badge.image.isEmpty())
        record.badge = manifest.record.badge;
    const QString launcher = buildSpace(target, record, patience(),
        [&file, &transfer](const QString &stagedData) { unpackInstanceArchive(file, stagedData, transfer); });
    roadFor(target.id()).finishInstance(launcher);
    return QUrl::fromLocalFile(launcher);
}

QUrl Store::duplicateSpace(const SpaceInfo &space, const QString &name, const Transfer &transfer)
{
    const SpaceInfo current = copyableSpace(space);
    const std::optional<InstalledApp> target = appAt(*current.targetPath);
    if (!target)
        throw TandrelError::msg(tandrel::tr(QStringLiteral("No se puede duplicar ") + quoted(space.name)
                + QStringLiteral(": su app ya no está instalada."),
            QStringLiteral("Can't duplicate ") + quoted(space.name)
                + QStringLiteral(": its app is no longer installed.")));
    const SpaceRecord record = planSpace(*target, name, Mode::Auto, strategyFromText(*current.mode));
    const QString from = *current.dataDir;
    const QString launcher = buildSpace(*target, record, patience(), [&](const QString &stagedData) {
        // Checked again under the lock, which keeps it from being deleted or renamed.
        copyableSpace(current);
        copyInstanceData(from, stagedData, transfer);
    });
    roadFor(target->id()).finishInstance(launcher);
    return QUrl::fromLocalFile(launcher);
}

} // namespace tandrel
