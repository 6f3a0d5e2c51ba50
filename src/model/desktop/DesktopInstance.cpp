#include "model/desktop/DesktopInstance.h"

#include "l10n/Tr.h"
#include "model/InstanceId.h"
#include "model/NameOrder.h"
#include "model/Refusals.h"
#include "model/SpaceRecord.h"
#include "model/TandrelError.h"
#include "model/desktop/DesktopExec.h"
#include "model/desktop/DesktopKeyFile.h"
#include "model/desktop/DesktopTexts.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace tandrel {
namespace {

// An entry has a few dozen translations of its name; more are not copied.
constexpr int maxKeys = 2000;
constexpr int maxTranslations = 300;
// Browsers have two or three actions; a few dozen is already odd.
constexpr int maxActions = 32;

QString fileNameOf(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString parentOf(const QString &path)
{
    return path.left(qMax<qsizetype>(path.lastIndexOf(QLatin1Char('/')), 1));
}

[[noreturn]] void refuse(const QString &path, int error)
{
    throw FileSystemError(path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error)));
}

// The folder and its missing parents; an existing real folder is fine, anything else in
// its place (a link above all) is refused rather than followed.
void makeRealFolder(const QString &folder)
{
    switch (fs::itemKind(folder)) {
    case fs::ItemKind::Missing:
        fs::createDirectory(folder);
        return;
    case fs::ItemKind::Directory:
        return;
    default:
        refuse(folder, EEXIST);
    }
}

// A link to the target where nothing is; nothing when the target is missing. A failure
// leaves the instance without it: each link is a convenience.
void linkWhereNothingIs(const QString &target, const QString &link)
{
    if (fs::itemKind(link) == fs::ItemKind::Missing && fs::fileExists(target))
        QFile::link(target, link);
}

// Links named as the folders' fallback names, to the user's own folders as their
// user-dirs settings say, so the app's Documents, Downloads and Desktop are the user's.
void linkUserFolders(const QString &home)
{
    const std::optional<QString> realHome = fs::homeDirectory();
    const std::pair<const char *, QStandardPaths::StandardLocation> folders[]
        = { { "Documents", QStandardPaths::DocumentsLocation },
              { "Downloads", QStandardPaths::DownloadLocation },
              { "Desktop", QStandardPaths::DesktopLocation } };
    for (const auto &[name, location] : folders) {
        const QString target = QDir::cleanPath(QStandardPaths::writableLocation(location));
        // A folder set to the home itself would hand the whole real home to the instance.
        if (QDir::isAbsolutePath(target) && target != realHome
            && fs::itemKind(target) == fs::ItemKind::Directory)
            linkWhereNothingIs(target, home + QLatin1Char('/') + QLatin1String(name));
    }
}

// With its XDG_CONFIG_HOME inside the instance, a Gecko app would not find the user's
// folder names and would download into a new ~/Downloads: it gets the user's settings.
void linkUserDirsSettings(const QString &config)
{
    QString real = qEnvironmentVariable("XDG_CONFIG_HOME");
    const std::optional<QString> home = fs::homeDirectory();
    if (!QDir::isAbsolutePath(real) && home)
        real = *home + QStringLiteral("/.config");
    if (QDir::isAbsolutePath(real))
        linkWhereNothingIs(QDir::cleanPath(real) + QStringLiteral("/user-dirs.dirs"),
            config + QStringLiteral("/user-dirs.dirs"));
}

void checkPlan(const DesktopInstancePlan &plan, const QString &entriesFolder)
{
    if (!isInstanceId(plan.id) || !QDir::isAbsolutePath(plan.dataDir) || fileNameOf(plan.dataDir) != plan.id
        || !QDir::isAbsolutePath(entriesFolder)
        || (!plan.iconPath.isEmpty() && !QDir::isAbsolutePath(plan.iconPath)) || plan.windowClass.isEmpty()
        || plan.instanceName.isEmpty())
        throw std::invalid_argument("desktop instance plan: id, name, class or paths not as documented");
}

// Name and each Name[xx] of the app's entry, as "<name> - <instance>".
void writeNames(GKeyFile *original, GKeyFile *entry, const QString &instanceName)
{
    static const QRegularExpression translated(QStringLiteral("^Name\\[[A-Za-z0-9_@.-]{1,32}\\]$"));
    const QString suffix = QStringLiteral(" - ") + instanceName;
    setKeyString(entry, QStringLiteral("Name"), keyString(original, QStringLiteral("Name")) + suffix);
    int count = 0;
    for (const QString &key : keyNames(original, maxKeys)) {
        if (count < maxTranslations && translated.match(key).hasMatch()) {
            const QString name = keyString(original, key);
            if (!name.isEmpty()) {
                setKeyString(entry, key, name + suffix);
                ++count;
            }
        }
    }
}

// GenericName, Comment and Keywords, each with its translations, as the app's entry has
// them: menus then find the instance by what the app is ("browser"), not only by its name.
void copyDescriptions(GKeyFile *original, GKeyFile *entry)
{
    static const QRegularExpression described(
        QStringLiteral("^(GenericName|Comment|Keywords)(\\[[A-Za-z0-9_@.-]{1,32}\\])?$"));
    QStringList kept;
    for (const QString &key : keyNames(original, maxKeys)) {
        if (kept.size() >= 3 * maxTranslations || !described.match(key).hasMatch())
            continue;
        const QString value = keyString(original, key);
        // A comment that only repeats the generic name is one validators warn about.
        const bool repeats = key.startsWith(QLatin1String("Comment"))
            && value
                == keyString(
                    original, QString(key).replace(QLatin1String("Comment"), QLatin1String("GenericName")));
        if (!value.isEmpty() && !repeats)
            kept << key;
    }
    // A translation goes only with the key it translates: alone it is an error to validators.
    for (const QString &key : std::as_const(kept)) {
        if (kept.contains(key.section(QLatin1Char('['), 0, 0)))
            setKeyString(entry, key, keyString(original, key));
    }
}

// The app's actions ("New Private Window"), each started as the instance is: its command
// made the instance's, its name and icon kept. An action whose command does not parse, or
// whose id or group is not as the desktop entry standard writes them, is left out.
void copyActions(GKeyFile *original, GKeyFile *entry, const LaunchAdditions &additions)
{
    static const QRegularExpression actionId(QStringLiteral("^[A-Za-z0-9-]{1,64}$"));
    static const QRegularExpression named(QStringLiteral("^(Name|Icon)(\\[[A-Za-z0-9_@.-]{1,32}\\])?$"));
    QStringList kept;
    const QStringList ids
        = keyString(original, QStringLiteral("Actions")).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString &id : ids) {
        if (kept.size() >= maxActions || !actionId.match(id).hasMatch() || kept.contains(id))
            continue;
        const QByteArray group = "Desktop Action " + id.toUtf8();
        const std::optional<QString> exec
            = instanceExec(keyString(original, QStringLiteral("Exec"), group.constData()), additions);
        if (!exec || keyString(original, QStringLiteral("Name"), group.constData()).isEmpty())
            continue;
        int count = 0;
        for (const QString &key : keyNames(original, maxKeys, group.constData())) {
            if (count < maxTranslations && named.match(key).hasMatch()) {
                setKeyString(entry, key, keyString(original, key, group.constData()), group.constData());
                ++count;
            }
        }
        setKeyString(entry, QStringLiteral("Exec"), *exec, group.constData());
        kept << id;
    }
    if (!kept.isEmpty())
        setKeyString(entry, QStringLiteral("Actions"), kept.join(QLatin1Char(';')) + QLatin1Char(';'));
}

} // namespace

std::optional<QString> instanceEntriesFolder()
{
    const std::optional<QString> home = dataHome();
    return home ? std::optional(*home + QStringLiteral("/applications")) : std::nullopt;
}

std::optional<QString> desktopDataRoot()
{
    const std::optional<QString> home = dataHome();
    return home ? std::optional(*home + QStringLiteral("/tandrel")) : std::nullopt;
}

QString instanceEntryFileName(const QString &id)
{
    return QStringLiteral("tandrel-") + id + QStringLiteral(".desktop");
}

QString instanceWindowClass(const QString &id)
{
    return QStringLiteral("tandrel-") + id;
}

std::optional<QString> instanceExec(const QString &exec, const LaunchAdditions &additions)
{
    const std::optional<QStringList> words = execWords(exec);
    const std::optional<qsizetype> program = words ? programIndex(*words) : std::nullopt;
    if (!program)
        return std::nullopt;
    QStringList result;
    if (*program > 0 || !additions.environment.isEmpty()) {
        result << (*program > 0 ? quotedExecWord(words->first()) : QStringLiteral("env"));
        for (qsizetype i = 1; i < *program; ++i)
            result << quotedExecWord(words->at(i));
        for (const auto &[variable, value] : additions.environment)
            result << literalExecWord(variable + QLatin1Char('=') + value);
    }
    for (const QString &word : additions.wrapper)
        result << literalExecWord(word);
    // env takes any word with "=" for one more variable, so such a program is started by
    // a shell whose fixed script runs its first argument with the rest.
    if (additions.wrapper.isEmpty() && !result.isEmpty() && words->at(*program).contains(QLatin1Char('=')))
        result << QStringLiteral("/bin/sh") << QStringLiteral("-c")
               << literalExecWord(QStringLiteral("exec \"$0\" \"$@\""));
    result << quotedExecWord(words->at(*program));
    for (const QString &argument : additions.arguments)
        result << literalExecWord(argument);
    for (qsizetype i = *program + 1; i < words->size(); ++i)
        result << quotedExecWord(words->at(i));
    return result.join(QLatin1Char(' '));
}

QString writeDesktopInstance(const DesktopApp &app, const DesktopInstancePlan &plan,
    const QString &entriesFolder, const QString &stagedEntry, const QString &stagedData)
{
    if (app.sandbox != SandboxKind::None)
        throw TandrelError::msg(sandboxedRefusal(app));
    checkPlan(plan, entriesFolder);
    const KeyFile original = loadDesktopKeyFile(app.filePath);
    const CopyPlan copy = copyPlan(app, plan.strategy);
    const LaunchAdditions additions = launchAdditions(plan.strategy, plan.dataDir, plan.windowClass, copy);
    const std::optional<QString> exec = instanceExec(app.exec, additions);
    if (!original || !exec)
        throw unreadableAppError();
    const QString path = entriesFolder + QLatin1Char('/') + instanceEntryFileName(plan.id);
    const QString entryPath = stagedEntry.isEmpty() ? path : stagedEntry;
    const QString data = stagedData.isEmpty() ? plan.dataDir : stagedData;
    // A staged entry is put in place by whoever staged it (a creation refuses a taken
    // place then; a rename replaces its own entry), so only the place written is checked.
    if (fs::itemKind(entryPath) != fs::ItemKind::Missing)
        refuse(entryPath, EEXIST);

    // The data folder first: an entry never points to a profile that is not there.
    makeRealFolder(data);
    for (const QString &folder : foldersToCreate(plan.strategy, data, copy))
        makeRealFolder(folder);
    if (fs::itemKind(data + QStringLiteral("/home")) == fs::ItemKind::Directory)
        linkUserFolders(data + QStringLiteral("/home"));
    if (plan.strategy == LaunchStrategy::GeckoProfile)
        linkUserDirsSettings(data + QStringLiteral("/config"));

    const KeyFile entry = newKeyFile();
    GKeyFile *file = entry.get();
    setKeyString(file, QStringLiteral("Type"), QStringLiteral("Application"));
    writeNames(original.get(), file, plan.instanceName);
    setKeyString(file, QStringLiteral("Icon"), plan.iconPath.isEmpty() ? app.icon : plan.iconPath);
    setKeyString(file, QStringLiteral("Exec"), *exec);
    // With the app uninstalled, menus stop listing the instance; Tandrel still lists it.
    setKeyString(file, QStringLiteral("TryExec"), app.program);
    // Only a class the windows will carry: one that never matches is worse than none.
    if (copy.namedWindows)
        setKeyString(file, QStringLiteral("StartupWMClass"), plan.windowClass);
    for (const char *key : { "Categories", "Terminal", "StartupNotify", "Path" }) {
        const QString value = keyString(original.get(), QLatin1String(key));
        if (!value.isEmpty())
            setKeyString(file, QLatin1String(key), value);
    }
    copyDescriptions(original.get(), file);
    setKeyString(file, QLatin1String(instanceMarkerKey), plan.id);
    setKeyString(file, QStringLiteral("X-Tandrel-Name"), plan.instanceName);
    setKeyString(file, QStringLiteral("X-Tandrel-Mode"), strategyText(plan.strategy));
    setKeyString(file, QStringLiteral("X-Tandrel-Data"), plan.dataDir);
    setKeyString(file, QStringLiteral("X-Tandrel-Target"), app.filePath);
    setKeyString(file, QStringLiteral("X-Tandrel-Target-Id"), app.desktopId);
    setKeyString(
        file, QStringLiteral("X-Tandrel-Created"), formatIsoDateTime(QDateTime::currentDateTimeUtc()));
    copyActions(original.get(), file, additions); // groups after [Desktop Entry]
    requireFolder(entriesFolder); // may be a link to the user's folder elsewhere
    if (stagedEntry.isEmpty())
        fs::writeTextAtomically(path, keyFileText(file));
    else
        fs::writeBytes(stagedEntry, keyFileText(file).toUtf8()); // staged: never read half-written
    return path;
}

std::optional<QString> desktopInstanceMarker(const QString &path)
{
    if (fs::itemKind(path) != fs::ItemKind::File)
        return std::nullopt;
    const KeyFile file = loadDesktopKeyFile(path);
    const QString id = file ? keyString(file.get(), QLatin1String(instanceMarkerKey)) : QString();
    return isInstanceId(id) ? std::optional(id) : std::nullopt;
}

std::optional<DesktopInstanceEntry> readDesktopInstance(const QString &path, const QString &entriesFolder)
{
    static const QRegularExpression entryName(QStringLiteral("^tandrel-(.{36})\\.desktop$"));
    const QRegularExpressionMatch match = entryName.match(fileNameOf(path));
    if (!match.hasMatch() || !isInstanceId(match.captured(1)) || fs::itemKind(path) != fs::ItemKind::File)
        return std::nullopt;
    const QString folder = fs::resolvedPath(entriesFolder);
    if (folder.isEmpty() || fs::resolvedPath(parentOf(path)) != folder)
        return std::nullopt;
    const KeyFile file = loadDesktopKeyFile(path);
    if (!file || keyString(file.get(), QLatin1String(instanceMarkerKey)) != match.captured(1))
        return std::nullopt;

    DesktopInstanceEntry entry;
    entry.id = match.captured(1);
    entry.path = path;
    entry.name = keyString(file.get(), QStringLiteral("Name"));
    entry.instanceName = keyString(file.get(), QStringLiteral("X-Tandrel-Name"));
    entry.target = keyString(file.get(), QStringLiteral("X-Tandrel-Target"));
    entry.targetId = keyString(file.get(), QStringLiteral("X-Tandrel-Target-Id"));
    entry.strategy = strategyFromText(keyString(file.get(), QStringLiteral("X-Tandrel-Mode")));
    entry.dataDir = keyString(file.get(), QStringLiteral("X-Tandrel-Data"));
    entry.windowClass = keyString(file.get(), QStringLiteral("StartupWMClass"));
    entry.createdAt = parseIsoDateTime(keyString(file.get(), QStringLiteral("X-Tandrel-Created")));
    return entry;
}

bool isDesktopInstanceEntry(const QString &path, const QString &entriesFolder)
{
    return readDesktopInstance(path, entriesFolder).has_value();
}

QList<DesktopInstanceEntry> scanDesktopInstances(const QString &entriesFolder)
{
    QList<DesktopInstanceEntry> entries;
    QStringList children;
    try {
        children = fs::contentsOfDirectory(entriesFolder);
    } catch (const FileSystemError &) {
        return entries;
    }
    for (const QString &child : std::as_const(children)) {
        if (fileNameOf(child).startsWith(QLatin1String("tandrel-"))) {
            if (std::optional<DesktopInstanceEntry> entry = readDesktopInstance(child, entriesFolder))
                entries.append(std::move(*entry));
        }
    }
    sortByName(entries, [](const DesktopInstanceEntry &entry) { return entry.name; });
    return entries;
}

bool removeDesktopInstanceEntry(
    const QString &path, const QString &entriesFolder, RemovalReport &report, const QString &withdrawTo)
{
    return removeLauncherWhenOurs(
        path, [&] { return isDesktopInstanceEntry(path, entriesFolder); }, report, withdrawTo);
}

} // namespace tandrel
