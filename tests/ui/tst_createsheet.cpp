#include "formats/MachOSignature.h"
#include "l10n/LanguageManager.h"
#include "model/Store.h"
#include "support/FakeBundle.h"
#include "support/MachOBuilder.h"
#include "support/RecordingWorkspace.h"
#include "support/TestEnvironment.h"
#include "ui/Accessibility.h"
#include "ui/AppGrid.h"
#include "ui/AppsSection.h"
#include "ui/Confirmation.h"
#include "ui/ContentView.h"
#include "ui/CreateSheet.h"
#include "ui/SpaceRow.h"
#include "ui/SpacesSection.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace tandrel;
using namespace tandrel::test;

namespace {

// What assistive technology is told: each status bar's new name and each alert.
QStringList &heard()
{
    static QStringList told;
    return told;
}

void listen(QAccessibleEvent *event)
{
    const QAccessibleInterface *node = event->accessibleInterface();
    if (node && event->type() == QAccessible::NameChanged && node->role() == QAccessible::StatusBar)
        heard() << QStringLiteral("status: ") + node->text(QAccessible::Name);
    if (node && event->type() == QAccessible::Alert && node->role() == QAccessible::AlertMessage)
        heard() << QStringLiteral("alert: ") + node->text(QAccessible::Name);
}

} // namespace

class CreateSheetTest : public QObject
{
    Q_OBJECT

    RecordingWorkspace m_workspace;
    QTemporaryDir m_root;
    QString m_apps;
    int m_serial = 0;

    // A fresh folder of apps for every test: sandbox answers are cached per path.
    void makeApps(bool sandboxed = false)
    {
        m_apps = m_root.filePath(QStringLiteral("apps%1").arg(++m_serial));
        FakeBundleOptions options;
        ThinOptions thin;
        thin.cpuType = quint32(hostCpu());
        thin.entitlements = entitlementsXml(sandboxed ? SandboxValue::True : SandboxValue::False);
        options.executableBytes = buildThin(thin);
        makeFakeBundle(m_apps, QStringLiteral("Mail"), options);
    }

    // Opens the sheet the way a person does: a click on the card.
    static CreateSheet *clickCard(ContentView &view)
    {
        AppGrid *grid = view.appsSection()->duplicableGrid()->apps().isEmpty()
            ? view.appsSection()->sandboxedGrid()
            : view.appsSection()->duplicableGrid();
        QTest::mouseClick(grid, Qt::LeftButton, {}, grid->cardRect(0).center());
        return view.createSheet();
    }

private Q_SLOTS:
    void initTestCase() { m_workspace.install(); }
    void init()
    {
        QDir(isolatedHome() + QStringLiteral("/Applications")).removeRecursively();
        QDir(isolatedHome() + QStringLiteral("/Library")).removeRecursively();
        m_workspace.opened.clear();
        LanguageManager::shared().setChoice(LanguageManager::Choice::En);
    }

    void create_typeNameAndReturn()
    {
        makeApps();
        ContentView view(QStringList { m_apps });
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        CreateSheet *sheet = clickCard(view);
        QVERIFY(sheet);
        QTRY_VERIFY(sheet->isVisible());
        QCOMPARE(view.selectedApp()->name(), QStringLiteral("Mail"));
        QCOMPARE(sheet->nameField()->text(), QStringLiteral("Account 2"));
        sheet->nameField()->selectAll();
        QTest::keyClicks(sheet->nameField(), QStringLiteral("Work"));
        QTest::keyClick(sheet->nameField(), Qt::Key_Return);
        const QString wrapper = Store::spacesDir() + QStringLiteral("/Mail - Work.app");
        // Writing and signing run in the background: the sheet shows it is busy meanwhile.
        QVERIFY(sheet->isCreating());
        QVERIFY(!sheet->createButton()->isEnabled());
        QTRY_VERIFY(QFileInfo::exists(wrapper));
        QTRY_COMPARE(m_workspace.opened, QList<QUrl> { QUrl::fromLocalFile(wrapper) });
        QTRY_VERIFY(!view.createSheet());
        QVERIFY(!view.selectedApp());
        QCOMPARE(view.spacesSection()->rows().size(), 1);
        QCOMPARE(view.spacesSection()->rows().first()->space().name, QStringLiteral("Mail - Work"));
    }

    // What goes wrong while writing, in the background, comes back to the open sheet
    void create_failureWhileWritingIsShown()
    {
        makeApps();
        ContentView view(QStringList { m_apps });
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QDir().mkpath(isolatedHome() + QStringLiteral("/Applications"));
        QFile blocker(Store::spacesDir());
        QVERIFY(blocker.open(QIODevice::WriteOnly)); // a file where the instances go
        blocker.close();
        CreateSheet *sheet = clickCard(view);
        QTRY_VERIFY(sheet->isVisible());
        QTest::keyClick(sheet->nameField(), Qt::Key_Return);
        QTRY_VERIFY(!sheet->isCreating());
        QVERIFY(sheet->isVisible() && sheet->createButton()->isEnabled());
        QCOMPARE(sheet->errorMessage().value_or(QString()),
            QLatin1Char('"') + Store::spacesDir() + QStringLiteral("\" isn't a folder."));
        QVERIFY(sheet->errorLabel()->isVisible());
    }

    void returnWithBlankNameDoesNothing_escapeCloses()
    {
        makeApps();
        ContentView view(QStringList { m_apps });
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        CreateSheet *sheet = clickCard(view);
        QTRY_VERIFY(sheet->isVisible());
        sheet->nameField()->setText(QStringLiteral(" \t "));
        QVERIFY(!sheet->createButton()->isEnabled());
        QTest::keyClick(sheet->nameField(), Qt::Key_Return);
        QVERIFY(view.createSheet());
        QVERIFY(!QFileInfo::exists(Store::spacesDir()));
        QTest::keyClick(sheet->nameField(), Qt::Key_Escape);
        QTRY_VERIFY(!view.createSheet());
        QVERIFY(!QFileInfo::exists(Store::spacesDir()));
    }

    // Rows are groups named after their instance; the sheet's controls have names; a refusal is
    // an alert, and creating, refreshing and deleting are told in the window's status.
    void accessibility_namesGroupsAndAnnouncements()
    {
        makeApps();
        ContentView view(QStringList { m_apps });
        view.store().createSpace(view.store().apps().first(), QStringLiteral("Work"), Mode::Auto);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        heard().clear();
        setAccessibilityObserver(listen);
        SpaceRow *row = view.spacesSection()->rows().first();
        QAccessibleInterface *group = QAccessible::queryAccessibleInterface(row);
        QCOMPARE(group->role(), QAccessible::Grouping);
        QCOMPARE(group->text(QAccessible::Name), QStringLiteral("Mail - Work"));
        QAccessibleInterface *remove = QAccessible::queryAccessibleInterface(row->deleteButton());
        QCOMPARE(remove->parent(), group);
        QCOMPARE(remove->text(QAccessible::Name), QStringLiteral("Delete"));

        CreateSheet *sheet = clickCard(view);
        QTRY_VERIFY(sheet->isVisible());
        QCOMPARE(sheet->width(), 400);
        for (QWidget *control : std::initializer_list<QWidget *> { sheet->nameField(), sheet->createButton(),
                 sheet->cancelButton(), sheet->modeButtons().at(0) })
            QVERIFY2(!QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name).isEmpty(),
                control->metaObject()->className());
        sheet->nameField()->setText(QStringLiteral("Work"));
        QTest::mouseClick(sheet->createButton(), Qt::LeftButton);
        // The refusal the Store threw, shown as it is, the input kept.
        QVERIFY(sheet->errorMessage() && !sheet->errorMessage()->isEmpty());
        QVERIFY(sheet->errorLabel()->isVisible());
        QCOMPARE(sheet->errorLabel()->text(), *sheet->errorMessage());
        QCOMPARE(sheet->nameField()->text(), QStringLiteral("Work"));
        QCOMPARE(heard(), QStringList { QStringLiteral("alert: ") + *sheet->errorMessage() });

        sheet->nameField()->setText(QStringLiteral("Work 2"));
        QTest::mouseClick(sheet->createButton(), Qt::LeftButton);
        QTRY_VERIFY(!view.createSheet());
        QCOMPARE(heard().last(), QStringLiteral("status: Instance \"Mail - Work 2\" created."));
        view.refresh();
        QCOMPARE(heard().last(), QStringLiteral("status: App list refreshed."));
        setConfirmer([](const Confirmation &) { return true; });
        QTest::mouseClick(view.spacesSection()->rows().first()->deleteButton(), Qt::LeftButton);
        setConfirmer({});
        QCOMPARE(heard().last(), QStringLiteral("status: Instance \"Mail - Work\" deleted."));
        setAccessibilityObserver({});
    }

    void sandboxedApp_warningAndDisabledEvenWhenTheCheckArrivesLate()
    {
        makeApps(true);
        ContentView view(QStringList { m_apps });
        // The background check has not answered yet: no event has been processed.
        CreateSheet sheet(view.store().apps().first(), &view.store());
        QVERIFY(!sheet.isSandboxed());
        QVERIFY(sheet.sandboxWarning()->isHidden());
        QVERIFY(sheet.createButton()->isEnabled());
        QTRY_VERIFY(sheet.isSandboxed());
        QVERIFY(!sheet.sandboxWarning()->isHidden());
        for (const QString &name : { QStringLiteral("Work"), QStringLiteral("Other"), QString() }) {
            sheet.nameField()->setText(name);
            QVERIFY(!sheet.createButton()->isEnabled());
        }
        sheet.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        sheet.nameField()->setText(QStringLiteral("Work"));
        QTest::keyClick(sheet.nameField(), Qt::Key_Return);
        QVERIFY(!QFileInfo::exists(Store::spacesDir()));
        QVERIFY(sheet.sandboxWarning()->findChildren<QLabel *>().last()->text().startsWith(
            QLatin1String("Mail ")));

        // A click on the sandboxed card opens the sheet just the same.
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        CreateSheet *fromCard = clickCard(view);
        QVERIFY(fromCard);
        QVERIFY(!fromCard->createButton()->isEnabled());
        fromCard->reject();
    }

    void language_labelsFollowButNotTheName()
    {
        makeApps();
        LanguageManager::shared().setChoice(LanguageManager::Choice::Es);
        ContentView view(QStringList { m_apps });
        CreateSheet sheet(view.store().apps().first(), &view.store());
        const QString typed = sheet.nameField()->text();
        const auto labels = [&sheet] {
            return QStringList { sheet.createButton()->text(), sheet.cancelButton()->text(),
                sheet.windowTitle(), sheet.modeButtons().at(0)->text(), sheet.helpLabel()->text(),
                sheet.nameField()->placeholderText() };
        };
        const QStringList spanish = labels();
        LanguageManager::shared().setChoice(LanguageManager::Choice::En);
        const QStringList english = labels();
        for (int i = 0; i < spanish.size(); ++i)
            QVERIFY2(!english[i].isEmpty() && english[i] != spanish[i], qPrintable(english[i]));
        QVERIFY(sheet.windowTitle().endsWith(QLatin1String("Mail")));
        QCOMPARE(sheet.nameField()->text(), typed); // what was in the field stays
        // The mode switches the help text at once.
        const QString help = sheet.helpLabel()->text();
        QTest::mouseClick(sheet.modeButtons().at(1), Qt::LeftButton);
        QCOMPARE(sheet.mode(), Mode::Home);
        QVERIFY(sheet.helpLabel()->text() != help);
    }
};

TANDREL_WIDGETS_TEST_MAIN(CreateSheetTest)
#include "tst_createsheet.moc"
