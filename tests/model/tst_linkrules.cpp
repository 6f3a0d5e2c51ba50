// Which rule a link follows, what counts as a site and as a link Tandrel routes, and rules
// read back from a settings file that may have been edited or planted.
#include "model/LinkRules.h"
#include "model/LinkSettings.h"
#include "support/TestEnvironment.h"

#include <QSettings>
#include <QStandardPaths>
#include <QTest>

using namespace tandrel;

namespace {

const QString work = QStringLiteral("11111111-1111-4111-8111-111111111111");
const QString home = QStringLiteral("22222222-2222-4222-8222-222222222222");
const QString app = QStringLiteral("/usr/share/applications/browser.desktop");

} // namespace

class LinkRulesTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void ruleFor_longestMatchingSiteWins_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("target"); // empty: no rule
        QTest::newRow("the site itself") << "https://example.com/a" << work;
        QTest::newRow("a subdomain") << "https://www.example.com/" << work;
        QTest::newRow("a longer site beats a shorter one") << "https://mail.example.com/x" << home;
        QTest::newRow("below the longer site") << "http://a.mail.example.com/" << home;
        QTest::newRow("host only: its subdomains fall to the shorter rule")
            << "https://x.docs.example.com" << work;
        QTest::newRow("host only: the host itself") << "https://docs.example.com" << app;
        QTest::newRow("a name that only ends the same") << "https://notexample.com/"
                                                        << "";
        QTest::newRow("upper case and a final dot") << "HTTPS://WWW.EXAMPLE.COM./" << work;
        QTest::newRow("an international name") << "https://www.bücher.de/" << home;
        QTest::newRow("a port and user") << "https://u:p@example.com:8443/" << work;
        QTest::newRow("no rule") << "https://other.org/"
                                 << "";
    }
    void ruleFor_longestMatchingSiteWins()
    {
        QFETCH(QString, link);
        QFETCH(QString, target);
        const QList<LinkRule> rules { { QStringLiteral("example.com"), true, work },
            { QStringLiteral("mail.example.com"), true, home },
            { QStringLiteral("docs.example.com"), false, app },
            { tandrel::parseSite(QStringLiteral("bücher.de")).value(), true, home } };
        const std::optional<LinkRule> rule = ruleFor(rules, QUrl(link));
        QCOMPARE(rule ? rule->target : QString(), target);
    }

    void parseSite_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("site"); // empty: refused
        QTest::newRow("a name") << " Example.COM "
                                << "example.com";
        QTest::newRow("a wildcard") << "*.example.com"
                                    << "example.com";
        QTest::newRow("an address") << "https://Mail.Example.com/inbox?x"
                                    << "mail.example.com";
        QTest::newRow("an international name") << "bücher.de"
                                               << "xn--bcher-kva.de";
        QTest::newRow("a path") << "example.com/a"
                                << "";
        QTest::newRow("a port") << "example.com:80"
                                << "";
        QTest::newRow("a blank inside") << "exa mple.com"
                                        << "";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("a leading dot") << ".example.com"
                                       << "";
        QTest::newRow("a name that reads back as an address") << "443."
                                                              << "";
        QTest::newRow("too long") << QString(300, QLatin1Char('a')) + ".com"
                                  << "";
    }
    void parseSite()
    {
        QFETCH(QString, text);
        QFETCH(QString, site);
        QCOMPARE(tandrel::parseSite(text).value_or(QString()), site);
    }

    void routableLink_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("handedOn"); // empty: refused
        QTest::newRow("https") << "https://example.com/a?b=c#d"
                               << "https://example.com/a?b=c#d";
        QTest::newRow("blanks and quotes, encoded") << "http://example.com/$(touch x) `id` \"q\""
                                                    << "http://example.com/$(touch%20x)%20%60id%60%20%22q%22";
        QTest::newRow("a file") << "file:///etc/passwd"
                                << "";
        QTest::newRow("a script") << "javascript:alert(1)"
                                  << "";
        QTest::newRow("data") << "data:text/html,<b>x</b>"
                              << "";
        QTest::newRow("mail") << "mailto:a@example.com"
                              << "";
        QTest::newRow("an option") << "--user-data-dir=/tmp/x"
                                   << "";
        QTest::newRow("no host") << "https:///path"
                                 << "";
        QTest::newRow("relative") << "example.com/a"
                                  << "";
        QTest::newRow("a line break") << "https://example.com/\nhttps://evil.example/"
                                      << "";
        QTest::newRow("a control character") << QStringLiteral("https://example.com/\x01") << "";
        QTest::newRow("a bidirectional override") << QStringLiteral("https://example.com/\u202e") << "";
        QTest::newRow("too long") << "https://example.com/" + QString(40000, QLatin1Char('a')) << "";
    }
    void routableLink()
    {
        QFETCH(QString, text);
        QFETCH(QString, handedOn);
        const std::optional<QUrl> link = tandrel::routableLink(text);
        QCOMPARE(link ? link->toString(QUrl::FullyEncoded) : QString(), handedOn);
    }

    void extraSchemes_routedOnlyWhenListedAndNeverFiles()
    {
        QVERIFY(!tandrel::routableLink(QStringLiteral("ftp://example.com/a")));
        QSettings().setValue(QStringLiteral("links/schemes"),
            QStringList { QStringLiteral("FTP"), QStringLiteral("file"), QStringLiteral("java script") });
        QCOMPARE(extraLinkSchemes(), QStringList { QStringLiteral("ftp") });
        QVERIFY(tandrel::routableLink(QStringLiteral("ftp://example.com/a"), extraLinkSchemes()));
        QVERIFY(!tandrel::routableLink(QStringLiteral("file:///etc/passwd"), extraLinkSchemes()));
        QSettings().remove(QStringLiteral("links/schemes"));
    }

    // A settings file is the user's: what it holds is checked, not trusted.
    void storedRules_keepOnlyWellFormedOnes()
    {
        const QString stored = QStringLiteral(R"([
            {"site": "example.com", "subdomains": false, "target": "%1"},
            {"site": "example.com", "target": "%2"},
            {"site": "EXAMPLE.org", "target": "%1"},
            {"site": "a.org/../b", "target": "%1"},
            {"site": "b.org", "target": "relative/path"},
            {"site": "c.org", "target": "/usr/../etc/x.desktop"},
            {"site": "d.org", "target": "%3"},
            {"site": 5, "target": "%1"}, "text", null])")
                                   .arg(work, home, app);
        const auto plant = [](const QString &text) {
            const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                + QStringLiteral("/TandrelTest");
            QDir().mkpath(folder);
            QFile file(folder + QStringLiteral("/links.json"));
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text.toUtf8()) > 0);
        };
        plant(stored);
        const QList<LinkRule> expected { { QStringLiteral("example.com"), false, work },
            { QStringLiteral("d.org"), true, app } };
        QCOMPARE(storedLinkRules(), expected);
        plant(QStringLiteral("{not json"));
        QVERIFY(storedLinkRules().isEmpty());
        storeLinkRules(expected);
        QCOMPARE(storedLinkRules(), expected);
    }

    void recentTargets_lastUsedFirstWithoutRepeats()
    {
        noteLinkTargetUsed(work);
        noteLinkTargetUsed(app);
        noteLinkTargetUsed(work);
        noteLinkTargetUsed(QStringLiteral("not a target"));
        QCOMPARE(recentLinkTargets(), (QStringList { work, app }));
    }
};

TANDREL_TEST_MAIN(LinkRulesTest)
#include "tst_linkrules.moc"
