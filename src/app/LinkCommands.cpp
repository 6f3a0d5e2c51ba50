#include "app/LinkCommands.h"

#include "app/Application.h"
#include "app/CommandOutput.h"
#include "l10n/Tr.h"
#include "model/LinkSettings.h"
#include "model/Store.h"
#include "ui/LinkChooser.h"

#include <QCoreApplication>

namespace tandrel {
namespace {

using namespace cli;

int notALink()
{
    // The link itself is not repeated: it may be anything, and is never logged.
    return usageError(tandrel::tr(QStringLiteral("Eso no es un enlace web (http o https)."),
        QStringLiteral("That isn't a web link (http or https).")));
}

std::optional<QStringList> webLinks(const QStringList &texts)
{
    QStringList links;
    for (const QString &text : texts) {
        const std::optional<QUrl> link = routableLink(text, extraLinkSchemes());
        if (!link)
            return std::nullopt;
        links << link->toString(QUrl::FullyEncoded);
    }
    return links;
}

QString targetName(const QList<Store::LinkTarget> &targets, const QString &key)
{
    for (const Store::LinkTarget &target : targets) {
        if (target.key == key)
            return target.name;
    }
    return key;
}

std::optional<Store::LinkTarget> findTarget(const Store &store, const QString &wanted)
{
    const QList<Store::LinkTarget> targets = Store::linkTargets(store.spaces());
    const std::optional<SpaceInfo> space = findSpace(store, wanted);
    const QString key = space && space->instanceId ? *space->instanceId : plainAbsolute(wanted);
    for (const Store::LinkTarget &target : targets) {
        if (target.key == key || (!target.instance && !space && target.name == wanted))
            return target;
    }
    return std::nullopt;
}

int list(const Store &store, bool json)
{
    const QList<LinkRule> rules = Store::linkRules(store.spaces());
    const QList<Store::LinkTarget> targets
        = rules.isEmpty() ? QList<Store::LinkTarget>() : Store::linkTargets(store.spaces());
    QList<QList<Member>> objects;
    QList<QStringList> rows;
    for (const LinkRule &rule : rules) {
        const QString name = targetName(targets, rule.target);
        objects.append({ { "site", rule.site }, { "subdomains", std::nullopt, rule.subdomains },
            { "target", rule.target }, { "targetName", name },
            { "instance", std::nullopt, targetsInstance(rule) } });
        rows.append({ siteForDisplay(rule.site),
            rule.subdomains ? tandrel::tr(QStringLiteral("y subdominios"), QStringLiteral("and subdomains"))
                            : tandrel::tr(QStringLiteral("solo ese"), QStringLiteral("that host only")),
            name });
    }
    if (json)
        printJson(objects);
    else
        printAligned(rows);
    return 0;
}

int handler(const QStringList &operands)
{
    if (operands.size() == 1) {
        out(Store::isLinkHandler() ? QStringLiteral("on") : QStringLiteral("off"));
        return 0;
    }
    if (operands[1] == QLatin1String("off")) {
        Store::stopBeingLinkHandler();
        return 0;
    }
    if (operands[1] != QLatin1String("on"))
        return usageError(tandrel::tr(QStringLiteral("\"links handler\" admite on u off."),
            QStringLiteral("\"links handler\" takes on or off.")));
    return Store::becomeLinkHandler(QCoreApplication::applicationFilePath())
        ? 0
        : failed(tandrel::tr(QStringLiteral("El escritorio no dejó que Tandrel abra los enlaces."),
            QStringLiteral("The desktop didn't let Tandrel open links.")));
}

} // namespace

int linksCommand(Store &store, const QStringList &operands, bool json, bool exact)
{
    const QString action = operands.value(0);
    const qsizetype wanted = action == QLatin1String("list") ? 1
        : action == QLatin1String("add")                     ? 3
        : action == QLatin1String("remove")                  ? 2
        : action == QLatin1String("handler")                 ? (operands.size() == 2 ? 2 : 1)
                                                             : -1;
    if (wanted < 0 || operands.size() != wanted)
        return usageError(tandrel::tr(
            QStringLiteral("Uso: tandrel links list [--json] | add SITIO DESTINO [--exact] | remove SITIO "
                           "| handler [on|off]"),
            QStringLiteral("Usage: tandrel links list [--json] | add SITE TARGET [--exact] | remove SITE "
                           "| handler [on|off]")));
    if ((json && action != QLatin1String("list")) || (exact && action != QLatin1String("add")))
        return usageError(
            tandrel::tr(QStringLiteral("Esa opción no vale para \"links ") + action + QStringLiteral("\"."),
                QStringLiteral("That option doesn't apply to \"links ") + action + QStringLiteral("\".")));
    if (action == QLatin1String("list"))
        return list(store, json);
    if (action == QLatin1String("handler"))
        return handler(operands);
    const std::optional<QString> site = parseSite(operands[1]);
    if (!site)
        return usageError(
            tandrel::tr(QStringLiteral("Ese sitio no es válido: escribe un nombre como ejemplo.com."),
                QStringLiteral("That site isn't valid: write a name such as example.com.")));
    if (action == QLatin1String("remove")) {
        return Store::removeLinkRule(*site)
            ? 0
            : failed(tandrel::tr(QStringLiteral("No hay ninguna regla para ") + quoted(siteForDisplay(*site))
                    + QLatin1Char('.'),
                QStringLiteral("There is no rule for ") + quoted(siteForDisplay(*site)) + QLatin1Char('.')));
    }
    const std::optional<Store::LinkTarget> target = findTarget(store, operands[2]);
    if (!target)
        return failed(tandrel::tr(
            quoted(operands[2]) + QStringLiteral(" no es una instancia ni una app que abra enlaces."),
            quoted(operands[2]) + QStringLiteral(" isn't an instance or an app that opens links.")));
    Store::addLinkRule({ *site, !exact, target->key }, store.spaces());
    return 0;
}

int openLinksCommand(Store &store, const SpaceInfo &space, const QStringList &texts)
{
    const std::optional<QStringList> links = webLinks(texts);
    if (!links)
        return notALink();
    store.openLinksInSpace(space, *links);
    return 0;
}

int routeCommand(Store &store, const QString &text)
{
    const std::optional<QStringList> links = webLinks({ text });
    if (!links)
        return notALink();
    const std::optional<QString> target = Store::routeFor(QUrl(links->first()), store.spaces());
    if (target) {
        store.openLinks(*target, *links);
        return 0;
    }
    if (!missingDisplayMessage(QStringLiteral("tandrel")).isEmpty())
        return failed(tandrel::tr(
            QStringLiteral("Ninguna regla dice dónde abrir este enlace, y no hay pantalla donde preguntar."),
            QStringLiteral("No rule says where to open this link, and there is no display to ask on.")));
    return routeNeedsChooser;
}

int askAndRoute(const QString &text)
{
    const std::optional<QStringList> links = webLinks({ text });
    if (!links)
        return notALink();
    const QUrl link(links->first());
    Store store(std::nullopt, nullptr, Store::Start::Idle);
    store.scanSpaces();
    const std::optional<LinkChoice> choice = chooseLinkTarget(link, Store::linkTargets(store.spaces()));
    if (!choice)
        return 1;
    try {
        if (choice->remember)
            Store::addLinkRule({ offeredSite(link), true, choice->target }, store.spaces());
        store.openLinks(choice->target, *links);
    } catch (const std::exception &error) {
        showLinkError(QString::fromUtf8(error.what()));
        return 1;
    }
    return 0;
}

void routeInApp(const QString &text)
{
    const std::optional<QStringList> links = webLinks({ text });
    if (!links)
        return;
    Store store(std::nullopt, nullptr, Store::Start::Idle);
    store.scanSpaces();
    try {
        if (const std::optional<QString> target = Store::routeFor(QUrl(links->first()), store.spaces())) {
            store.openLinks(*target, *links);
            return;
        }
    } catch (const std::exception &error) {
        showLinkError(QString::fromUtf8(error.what()));
        return;
    }
    askAndRoute(text);
}

} // namespace tandrel
