#include "model/LinkRules.h"

#include "model/InstanceId.h"

namespace tandrel {
namespace {

// Longer addresses are refused rather than handed on: no page needs them, and they are
// a way to make a browser's command line unreadable.
constexpr qsizetype longestLink = 32 * 1024;
constexpr qsizetype longestHost = 253;

QString hostOf(const QUrl &url)
{
    QString host = url.host(QUrl::FullyEncoded).toLower();
    if (host.endsWith(QLatin1Char('.')))
        host.chop(1);
    return host;
}

std::optional<QString> normalizedSite(const QString &text)
{
    QString site = text.trimmed();
    QUrl url;
    if (site.contains(QLatin1String("://"))) {
        url = QUrl(site, QUrl::StrictMode);
    } else {
        if (site.startsWith(QLatin1String("*.")))
            site.remove(0, 2);
        for (const QChar c : site) {
            if (c.isSpace() || QStringView(u"/:@?#[]\\%").contains(c))
                return std::nullopt;
        }
        url.setScheme(QStringLiteral("http"));
        url.setHost(site, QUrl::StrictMode);
    }
    const QString host = hostOf(url);
    if (!url.isValid() || host.isEmpty() || host.size() > longestHost || host.startsWith(QLatin1Char('.')))
        return std::nullopt;
    return host;
}

} // namespace

std::optional<QString> parseSite(const QString &text)
{
    // A site is kept only when it reads back as itself: "443." would become "443", which
    // reads as the address 0.0.1.187, and the rule would be dropped as malformed on reading.
    const std::optional<QString> site = normalizedSite(text);
    return site && normalizedSite(*site) == site ? site : std::nullopt;
}

std::optional<QUrl> routableLink(const QString &text, const QStringList &extraSchemes)
{
    if (text.isEmpty() || text.size() > longestLink)
        return std::nullopt;
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format
            || c.category() == QChar::Separator_Line || c.category() == QChar::Separator_Paragraph)
            return std::nullopt;
    }
    // Mail and chat apps hand on links with blanks or accents as written; what is handed to
    // a browser is always the encoded form.
    const QUrl url(text.trimmed(), QUrl::TolerantMode);
    const QString scheme = url.scheme().toLower();
    const bool known = scheme == QLatin1String("http") || scheme == QLatin1String("https")
        || (!scheme.isEmpty() && extraSchemes.contains(scheme, Qt::CaseInsensitive));
    if (!url.isValid() || url.isRelative() || !known || hostOf(url).isEmpty())
        return std::nullopt;
    return url;
}

std::optional<LinkRule> ruleFor(const QList<LinkRule> &rules, const QUrl &link)
{
    const QString host = hostOf(link);
    if (host.isEmpty())
        return std::nullopt;
    const LinkRule *best = nullptr;
    for (const LinkRule &rule : rules) {
        if (best && rule.site.size() <= best->site.size())
            continue;
        const bool matches = host == rule.site
            || (rule.subdomains && host.size() > rule.site.size() && host.endsWith(rule.site)
                && host[host.size() - rule.site.size() - 1] == QLatin1Char('.'));
        if (matches)
            best = &rule;
    }
    return best ? std::optional(*best) : std::nullopt;
}

QString offeredSite(const QUrl &link)
{
    const QString host = hostOf(link);
    return host.startsWith(QLatin1String("www.")) && host.indexOf(QLatin1Char('.'), 4) > 0 ? host.mid(4)
                                                                                           : host;
}

QString siteForDisplay(const QString &site)
{
    return QUrl::fromAce(site.toLatin1());
}

bool targetsInstance(const LinkRule &rule)
{
    return isInstanceId(rule.target);
}

} // namespace tandrel
