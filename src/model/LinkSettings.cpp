#include "model/LinkSettings.h"

#include "model/InstanceId.h"
#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <algorithm>

namespace tandrel {
namespace {

const QString recentKey = QStringLiteral("links/recent");
const QString schemesKey = QStringLiteral("links/schemes");

// Far beyond what anyone keeps, and small enough to read on every link.
constexpr qsizetype maxRulesText = 2 * 1024 * 1024;
constexpr qsizetype maxRules = 10000;
constexpr qsizetype maxRecent = 64;
constexpr qsizetype maxTarget = 4096;

bool isTarget(const QString &text)
{
    return !text.isEmpty() && text.size() <= maxTarget
        && (isInstanceId(text) || (QDir::isAbsolutePath(text) && QDir::cleanPath(text) == text));
}

// The rules are the user's own work, so they are a file of their own, replaced whole under
// the operation lock, rather than a key that concurrent writers of the settings merge.
QString rulesFile()
{
    // Beside the settings file: ~/.config/Tandrel/links.json.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/')
        + QCoreApplication::organizationName() + QStringLiteral("/links.json");
}

QSettings &fresh(QSettings &settings)
{
    settings.sync(); // what another Tandrel wrote meanwhile
    return settings;
}

} // namespace

QList<LinkRule> storedLinkRules()
{
    QByteArray text;
    try {
        if (fs::itemKind(rulesFile()) == fs::ItemKind::File)
            text = fs::readFile(rulesFile(), maxRulesText);
    } catch (const FileSystemError &) {
        return {}; // unreadable or too large: no rules rather than some
    }
    return parseLinkRules(text);
}

QList<LinkRule> parseLinkRules(const QByteArray &json)
{
    if (json.size() > maxRulesText)
        return {};
    QList<LinkRule> rules;
    for (const QJsonValue &value : QJsonDocument::fromJson(json).array()) {
        const QJsonObject object = value.toObject();
        const QString site = object.value(QLatin1String("site")).toString();
        const LinkRule rule { site, object.value(QLatin1String("subdomains")).toBool(true),
            object.value(QLatin1String("target")).toString() };
        const bool known = std::any_of(
            rules.cbegin(), rules.cend(), [&site](const LinkRule &other) { return other.site == site; });
        if (parseSite(site) == site && isTarget(rule.target) && !known && rules.size() < maxRules)
            rules.append(rule);
    }
    return rules;
}

void storeLinkRules(const QList<LinkRule> &rules)
{
    QJsonArray array;
    for (const LinkRule &rule : rules) {
        array.append(QJsonObject { { QStringLiteral("site"), rule.site },
            { QStringLiteral("subdomains"), rule.subdomains }, { QStringLiteral("target"), rule.target } });
    }
    const QString file = rulesFile();
    const QString folder = QFileInfo(file).path();
    fs::createDirectory(folder);
    // Under the lock no other write is under way: a temporary file beside it is a leftover
    // of one that was killed.
    for (const QString &item : fs::contentsOfDirectory(folder)) {
        if (QFileInfo(item).fileName().startsWith(QLatin1String("links.json.tandrel-")))
            fs::removeItem(item);
    }
    fs::writeTextAtomically(file, QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented)));
}

QStringList recentLinkTargets()
{
    QSettings settings;
    QStringList recent = fresh(settings).value(recentKey).toStringList().mid(0, maxRecent);
    recent.removeIf([](const QString &target) { return !isTarget(target); });
    recent.removeDuplicates();
    return recent;
}

void noteLinkTargetUsed(const QString &target)
{
    if (!isTarget(target))
        return;
    QStringList recent = recentLinkTargets();
    recent.removeAll(target);
    recent.prepend(target);
    QSettings settings;
    settings.setValue(recentKey, recent.mid(0, maxRecent));
    settings.sync();
}

QStringList extraLinkSchemes()
{
    static const QRegularExpression scheme(QStringLiteral("^[a-z][a-z0-9+.-]{0,31}$"));
    QSettings settings;
    QStringList schemes;
    for (const QString &text : fresh(settings).value(schemesKey).toStringList().mid(0, 32)) {
        const QString lower = text.toLower();
        // Never files or scripts, whatever the settings say.
        if (scheme.match(lower).hasMatch() && lower != QLatin1String("file")
            && lower != QLatin1String("javascript") && lower != QLatin1String("data"))
            schemes << lower;
    }
    return schemes;
}

} // namespace tandrel
