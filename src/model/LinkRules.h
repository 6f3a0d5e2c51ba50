#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

namespace tandrel {

// Where links to one site open: an instance (its id) or an app itself (its path).
struct LinkRule
{
    QString site; // a host, lower case, international names in their ASCII form
    bool subdomains = true; // whether www.site, mail.site… follow the rule too
    QString target;

    bool operator==(const LinkRule &) const = default;
};

// What a user writes for a site ("example.com", "*.example.com", "https://Example.com/a"),
// as a rule keeps it; nothing when it names no host.
std::optional<QString> parseSite(const QString &text);

// The link, when it is one Tandrel routes: an absolute http or https address (or one of
// the extra schemes) with a host, of reasonable length. Anything else (files, scripts,
// command-line options) is refused without being looked at further.
std::optional<QUrl> routableLink(const QString &text, const QStringList &extraSchemes = {});

// The rule a link follows: among those whose site is the link's host (or a domain above
// it, for rules with subdomains), the one with the longest site; nothing when none.
std::optional<LinkRule> ruleFor(const QList<LinkRule> &rules, const QUrl &link);

// The site "Always open … here" offers for a link: its host without a leading "www.".
QString offeredSite(const QUrl &link);

// How the site shows in lists: its international name in its own script.
QString siteForDisplay(const QString &site);

// Whether a rule's target names an instance (an id) rather than an app (a path).
bool targetsInstance(const LinkRule &rule);

} // namespace tandrel
