// Links opened in instances: the targets a link can open in, the rules that choose one,
// and the opening itself through the target's road.
#include "l10n/Tr.h"
#include "model/InstanceId.h"
#include "model/LinkSettings.h"
#include "model/OperationLock.h"
#include "model/Roads.h"
#include "model/Store.h"
#include "model/TandrelError.h"
#include "platform/LinkHandler.h"

#include <QCollator>
#include <QSet>

#include <algorithm>

namespace tandrel {
namespace {

// Rules are a small text in the settings: changing them waits briefly for the lock and
// reads them afresh under it, so two processes never lose each other's change.
constexpr std::chrono::milliseconds rulesPatience { 3000 };

QList<LinkRule> updateRules(const std::function<bool(QList<LinkRule> &)> &change)
{
    const OperationLock lock(rulesPatience);
    QList<LinkRule> rules = storedLinkRules();
    if (change(rules))
        storeLinkRules(rules);
    return rules;
}

QSet<QString> instanceIds(const QList<SpaceInfo> &spaces)
{
    QSet<QString> ids;
    for (const SpaceInfo &space : spaces) {
        if (space.instanceId)
            ids.insert(*space.instanceId);
    }
    return ids;
}

const SpaceInfo *spaceWithId(const QList<SpaceInfo> &spaces, const QString &id)
{
    const auto found = std::find_if(
        spaces.cbegin(), spaces.cend(), [&id](const SpaceInfo &space) { return space.instanceId == id; });
    return found == spaces.cend() ? nullptr : &*found;
}

TandrelError goneTarget()
{
    return TandrelError::msg(
        tandrel::tr(QStringLiteral("Esa instancia o app ya no existe, o no abre enlaces."),
            QStringLiteral("That instance or app no longer exists, or doesn't open links.")));
}

} // namespace

QList<Store::LinkTarget> Store::linkTargets(const QList<SpaceInfo> &spaces)
{
    QList<LinkTarget> instances, apps;
    for (const SpaceInfo &space : spaces) {
        const std::optional<InstalledApp> app = space.targetPath ? appAt(*space.targetPath) : std::nullopt;
        if (space.instanceId && app && roadFor(app->id()).opensLinks(*app))
            instances.append({ *space.instanceId, space.name, space.id(), true });
    }
    for (const Road *road : roads()) {
        for (const InstalledApp &app : road->linkApps())
            apps.append({ app.id(), app.name(), app.id(), false });
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true); // "Account 2" before "Account 10"
    const auto byName = [&collator](const LinkTarget &a, const LinkTarget &b) {
        return collator.compare(a.name, b.name) < 0;
    };
    std::stable_sort(instances.begin(), instances.end(), byName);
    std::stable_sort(apps.begin(), apps.end(), byName);
    QList<LinkTarget> targets = instances + apps;
    const QStringList recent = recentLinkTargets();
    const auto rank = [&recent](const LinkTarget &target) {
        const qsizetype at = recent.indexOf(target.key);
        return at < 0 ? recent.size() : at;
    };
    std::stable_sort(targets.begin(), targets.end(),
        [&rank](const LinkTarget &a, const LinkTarget &b) { return rank(a) < rank(b); });
    return targets;
}

QList<LinkRule> Store::linkRules(const QList<SpaceInfo> &spaces)
{
    const QSet<QString> ids = instanceIds(spaces);
    const auto gone
        = [&ids](const LinkRule &rule) { return targetsInstance(rule) && !ids.contains(rule.target); };
    QList<LinkRule> rules = storedLinkRules();
    if (std::none_of(rules.cbegin(), rules.cend(), gone))
        return rules;
    try {
        return updateRules([&gone](QList<LinkRule> &stored) { return stored.removeIf(gone) > 0; });
    } catch (const TandrelError &) {
        // Another Tandrel is busy: they are dropped next time; this time they are skipped.
        rules.removeIf(gone);
        return rules;
    }
}

void Store::addLinkRule(const LinkRule &rule, const QList<SpaceInfo> &spaces)
{
    const QList<LinkTarget> targets = linkTargets(spaces);
    if (std::none_of(targets.cbegin(), targets.cend(),
            [&rule](const LinkTarget &target) { return target.key == rule.target; }))
        throw goneTarget();
    if (parseSite(rule.site) != rule.site)
        throw TandrelError::msg(
            tandrel::tr(QStringLiteral("Ese sitio no es válido."), QStringLiteral("That site isn't valid.")));
    updateRules([&rule](QList<LinkRule> &rules) {
        rules.removeIf([&rule](const LinkRule &other) { return other.site == rule.site; });
        rules.append(rule);
        return true;
    });
}

bool Store::removeLinkRule(const QString &site)
{
    bool removed = false;
    updateRules([&site, &removed](QList<LinkRule> &rules) {
        removed = rules.removeIf([&site](const LinkRule &rule) { return rule.site == site; }) > 0;
        return removed;
    });
    return removed;
}

std::optional<QString> Store::routeFor(const QUrl &link, const QList<SpaceInfo> &spaces)
{
    const std::optional<LinkRule> rule = ruleFor(linkRules(spaces), link);
    if (!rule || (!targetsInstance(*rule) && !appAt(rule->target)))
        return std::nullopt;
    return rule->target;
}

void Store::openLinks(const QString &target, const QStringList &links, const LaunchFailureHandler &onFailure)
{
    if (isInstanceId(target)) {
        const SpaceInfo *space = spaceWithId(m_spaces, target);
        if (!space)
            throw goneTarget();
        openLinksInSpace(*space, links, onFailure);
        return;
    }
    const std::optional<InstalledApp> app = appAt(target);
    if (!app)
        throw goneTarget();
    roadFor(app->id()).openLinksInApp(*app, links);
    noteLinkTargetUsed(target);
}

void Store::openLinksInSpace(
    const SpaceInfo &space, const QStringList &links, const LaunchFailureHandler &onFailure)
{
    roadFor(space.id()).launch(space, links, onFailure);
    if (space.instanceId)
        noteLinkTargetUsed(*space.instanceId);
}

bool Store::isLinkHandler()
{
    return linkhandler::isDefault();
}

bool Store::becomeLinkHandler(const QString &program)
{
    return linkhandler::makeDefault(program);
}

void Store::stopBeingLinkHandler()
{
    linkhandler::restoreDefaults();
}

} // namespace tandrel
