// The link chooser as a keyboard user drives it, and the Links dialog's rules: listed,
// edited and removed, those of deleted instances gone.
#include "l10n/LanguageManager.h"
#include "model/LinkSettings.h"
#include "model/Store.h"
#include "support/TestEnvironment.h"
#include "ui/LinkChooser.h"
#include "ui/LinksDialog.h"

#include <QCheckBox>
#include <QListWidget>
#include <QTest>
#include <QTreeWidget>

using namespace tandrel;

namespace {

const QString work = QStringLiteral("11111111-1111-4111-8111-111111111111");

QList<Store::LinkTarget> threeTargets()
{
    return { { work, QStringLiteral("Browser - Work"), QStringLiteral("/none/a"), true },
        { QStringLiteral("22222222-2222-4222-8222-222222222222"), QStringLiteral("Browser - Home"),
            QStringLiteral("/none/b"), true },
        { QStringLiteral("/none/browser.desktop"), QStringLiteral("Browser"), QStringLiteral("/none/c"),
            false } };
}

} // namespace

class LinksTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { LanguageManager::shared().setChoiceForThisRun(LanguageManager::Choice::En); }

    void chooser_keys_data()
    {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<QString>("chosen"); // empty: closed without a choice
        QTest::newRow("a number opens at once") << QList<int> { Qt::Key_2 } << "Browser - Home";
        QTest::newRow("Enter opens the first") << QList<int> { Qt::Key_Return } << "Browser - Work";
        QTest::newRow("arrows, then Enter")
            << QList<int> { Qt::Key_Down, Qt::Key_Down, Qt::Key_Enter } << "Browser";
        QTest::newRow("Esc closes") << QList<int> { Qt::Key_Down, Qt::Key_Escape } << "";
        QTest::newRow("a number past the list does nothing")
            << QList<int> { Qt::Key_9, Qt::Key_Escape } << "";
    }
    void chooser_keys()
    {
        QFETCH(QList<int>, keys);
        QFETCH(QString, chosen);
        LinkChooser chooser(QUrl(QStringLiteral("https://www.example.com/a")), threeTargets());
        chooser.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chooser));
        for (const int key : keys)
            QTest::keyClick(chooser.targetList(), Qt::Key(key));
        QString name;
        for (const Store::LinkTarget &target : threeTargets()) {
            if (chooser.choice() && chooser.choice()->target == target.key)
                name = target.name;
        }
        QCOMPARE(name, chosen);
        QCOMPARE(chooser.isVisible(), keys.size() == 1 && keys.first() == Qt::Key_9);
    }

    void chooser_remembersTheSiteWhenAsked()
    {
        LinkChooser chooser(QUrl(QStringLiteral("https://www.example.com/a")), threeTargets());
        QCOMPARE(chooser.rememberBox()->text(), QStringLiteral("Always open example.com here"));
        QCOMPARE(chooser.targetList()->item(0)->data(Qt::AccessibleTextRole).toString(),
            QStringLiteral("Browser - Work"));
        chooser.rememberBox()->setChecked(true);
        chooser.show();
        QTest::keyClick(chooser.targetList(), Qt::Key_1);
        QVERIFY(chooser.choice() && chooser.choice()->remember && chooser.choice()->target == work);
    }

    // Rules are listed with where they open; those of instances that are gone are dropped;
    // the rule sheet's answer replaces a rule, and Remove takes one away
    void dialog_listsEditsAndRemovesRules()
    {
        const QString apps = qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/applications");
        QVERIFY(QDir().mkpath(apps));
        QFile entry(apps + QStringLiteral("/surf.desktop"));
        QVERIFY(entry.open(QIODevice::WriteOnly));
        entry.write("[Desktop Entry]\nType=Application\nName=Surf\nExec=/bin/true %u\n"
                    "MimeType=x-scheme-handler/https;\n");
        entry.close();
        const QString surf = QFileInfo(entry).absoluteFilePath();
        // One that would hand links back to the desktop's default, Tandrel itself.
        QFile opener(apps + QStringLiteral("/opener.desktop"));
        QVERIFY(opener.open(QIODevice::WriteOnly));
        opener.write("[Desktop Entry]\nType=Application\nName=Opener\nExec=sensible-browser %u\n"
                     "MimeType=x-scheme-handler/https;\n");
        opener.close();
        storeLinkRules({ { QStringLiteral("example.com"), true, surf },
            { QStringLiteral("gone.org"), true, work }, { QStringLiteral("other.org"), false, surf } });
        Store store(std::nullopt, nullptr, Store::Start::Idle);
        store.scanSpaces();
        LinksDialog dialog(store);
        QTreeWidget *list = dialog.ruleList();
        QCOMPARE(list->topLevelItemCount(), 2);
        QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("example.com and subdomains"));
        QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("Surf"));
        QCOMPARE(list->topLevelItem(1)->text(0), QStringLiteral("other.org"));
        QCOMPARE(storedLinkRules().size(), 2);

        // The setting, in the window's own process, where GIO has read the desktop already.
        QVERIFY(!dialog.handlerBox()->isChecked());
        dialog.handlerBox()->setChecked(true);
        QVERIFY(Store::isLinkHandler());
        dialog.handlerBox()->setChecked(false);
        QVERIFY(!Store::isLinkHandler());

        QStringList offered;
        setLinkRuleAsker(
            [&](const std::optional<LinkRule> &rule, const QList<Store::LinkTarget> &targets, QWidget *) {
                for (const Store::LinkTarget &target : targets)
                    offered << target.name;
                const auto surfTarget = std::find_if(targets.cbegin(), targets.cend(),
                    [](const Store::LinkTarget &target) { return target.name == QLatin1String("Surf"); });
                return rule && surfTarget != targets.cend()
                    ? std::optional(LinkRule { QStringLiteral("example.net"), false, surfTarget->key })
                    : std::nullopt;
            });
        dialog.editRule(storedLinkRules().first());
        setLinkRuleAsker({});
        QVERIFY(offered.contains(QStringLiteral("Surf")) && !offered.contains(QStringLiteral("Opener")));
        const QList<LinkRule> expected { { QStringLiteral("other.org"), false, surf },
            { QStringLiteral("example.net"), false, surf } };
        QCOMPARE(storedLinkRules(), expected);
        list->setCurrentItem(list->topLevelItem(0));
        dialog.removeSelectedRule();
        QCOMPARE(storedLinkRules(), expected.mid(1));
        QCOMPARE(list->topLevelItemCount(), 1);
    }
};

TANDREL_WIDGETS_TEST_MAIN(LinksTest)
#include "tst_links.moc"
