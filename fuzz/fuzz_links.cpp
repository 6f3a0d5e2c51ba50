// What arrives as a link (any text a program hands to "tandrel route"), as a site, and as the
// rules file: parsed, matched against rules and shown, never crashing. The first byte chooses.
#include "model/LinkRules.h"
#include "model/LinkSettings.h"

#include <QString>

namespace {

const QList<tandrel::LinkRule> rules { { QStringLiteral("example.com"), true, QStringLiteral("/a.desktop") },
    { QStringLiteral("mail.example.com"), false, QStringLiteral("11111111-1111-4111-8111-111111111111") },
    { QStringLiteral("xn--bcher-kva.de"), true, QStringLiteral("/b.desktop") } };

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    const QString text = QString::fromUtf8(bytes);
    switch (data[0] % 3) {
    case 0:
        if (const std::optional<QUrl> link = tandrel::routableLink(text, { QStringLiteral("ftp") })) {
            (void)tandrel::ruleFor(rules, *link);
            (void)tandrel::siteForDisplay(tandrel::offeredSite(*link));
            (void)link->toString(QUrl::FullyEncoded);
        }
        break;
    case 1:
        if (const std::optional<QString> site = tandrel::parseSite(text)) {
            if (tandrel::parseSite(*site) != site) // a kept site reads back as itself
                __builtin_trap();
            (void)tandrel::siteForDisplay(*site);
        }
        break;
    default:
        for (const tandrel::LinkRule &rule : tandrel::parseLinkRules(bytes)) {
            if (tandrel::parseSite(rule.site) != rule.site)
                __builtin_trap();
        }
    }
    return 0;
}
