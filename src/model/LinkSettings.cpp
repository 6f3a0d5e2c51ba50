#include "model/LinkSettings.h"

#include "model/InstanceId.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSettings>
#include <algorithm>

namespace tandrel {
namespace {

const QString rulesKey = QStringLiteral("links/rules");
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

QSettings &fresh(QSettings &settings)
{
    settings.sync(); // what another Tandrel wrote meanwhile
    return settings;
}

} // namespace

QList<LinkRule> storedLinkRules()
{
    QSettings settings;
    const QString text = fresh(settings).value(rulesKey).toString();
    if (text.size() > maxRulesText)
        return {};
    QList<LinkRule> rules;
    for (const QJsonValue &value : QJsonDocument::fromJson(text.toUtf8()).array()) {
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
    QSettings settings;
    settings.setValue(rulesKey, QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact)));
    settings.sync();
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
