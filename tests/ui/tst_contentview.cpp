#include "app/MainWindow.h"
#include "app/TandrelApp.h"
#include "formats/MachOSignature.h"
#include "l10n/LanguageManager.h"
#include "model/Store.h"
#include "support/FakeBundle.h"
#include "support/MachOBuilder.h"
#include "support/RecordingWorkspace.h"
#include "support/TestEnvironment.h"
#include "ui/AppFilter.h"
#include "ui/AppGrid.h"
#include "ui/AppsSection.h"
#include "ui/Confirmation.h"
#include "ui/ContentView.h"
#include "ui/CreateSheet.h"
#include "ui/Header.h"
#include "ui/SearchField.h"
#include "ui/SpaceRow.h"
#include "ui/SpacesSection.h"

#include <QAccessible>
#include <QAccessibleEditableTextInterface>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QToolButton>

using namespace tandrel;
using namespace tandrel::test;

namespace {

QStringList names(const QList<InstalledApp> &apps)
{
    QStringList result;
    for (const InstalledApp &app : apps)
        result << app.name();
    return result;
}

// Every text a person can read in the window, menus and tooltips included.
QStringList visibleTexts(QWidget *root)
{
    QStringList texts;
    for (const QLabel *label : root->findChildren<QLabel *>())
        if (!label->text().isEmpty() && label->isVisibleTo(root))
            texts << label->text();
    for (const QWidget *widget : root->findChildren<QWidget *>())
        if (!widget->toolTip().isEmpty())
            texts << widget->toolTip();
    for (const QLineEdit *edit : root->findChildren<QLineEdit *>())
        texts << edit->placeholderText();
    for (const QMenu *menu : root->findChildren<QMenu *>()) {
        if (!menu->title().isEmpty())
            texts << menu->title();
        for (const QAction *action : menu->actions())
            if (!action->text().isEmpty())
                texts << action->text();
    }
    return texts;
}

QAccessibleInterface *findAccessible(QAccessibleInterface *node, QAccessible::Role role, const QString &name)
{
    if (!node)
        return nullptr;
    if (node->role() == role && node->text(QAccessible::Name) == name)
        return node;
    for (int i = 0; i < node->childCount(); ++i) {
        if (QAccessibleInterface *found = findAccessible(node->child(i), role, name))
            return found;
    }
    return nullptr;
}

} // namespace

class ContentViewTest : public QObject
{
    Q_OBJECT

    RecordingWorkspace m_workspace;
    QTemporaryDir m_root;
    QString m_apps;

    QString bundle(const QString &name, bool sandboxed = false)
    {
        FakeBundleOptions options;
        ThinOptions thin;
        thin.cpuType = quint32(hostCpu());
        thin.entitlements = entitlementsXml(sandboxed ? SandboxValue::True : SandboxValue::False);
        options.executableBytes = buildThin(thin);
        return makeFakeBundle(m_apps, name, options);
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_workspace.install();
        m_apps = m_root.filePath(QStringLiteral("Applications"));
        bundle(QStringLiteral("Notes"));
        bundle(QStringLiteral("Mail"));
        bundle(QStringLiteral("Safari Tech"));
        bundle(QStringLiteral("Locked Store"), true);
        QDir().mkpath(Store::spacesDir() + QStringLiteral("/Mail - Work.app"));
    }
    void init() { LanguageManager::shared().setChoice(LanguageManager::Choice::Es); }

    // Search and groups
    void search_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<QStringList>("duplicable");
        QTest::addColumn<QStringList>("sandboxed");
        QTest::newRow("empty keeps all")
            << "" << QStringList { "Mail", "Notes", "Safari Tech" } << QStringList { "Locked Store" };
        QTest::newRow("a blank") << " " << QStringList { "Safari Tech" } << QStringList { "Locked Store" };
        QTest::newRow("path words are not searched") << "Applications" << QStringList {} << QStringList {};
    }
    void search()
    {
        QFETCH(QString, search);
        QFETCH(QStringList, duplicable);
        QFETCH(QStringList, sandboxed);
        ContentView view(QStringList { m_apps });
        QTRY_VERIFY(!view.store().sandboxedPaths().isEmpty());
        view.header()->searchField()->lineEdit()->setText(search);
        AppsSection *section = view.appsSection();
        QCOMPARE(section->duplicableGroup()->isVisibleTo(&view), !duplicable.isEmpty());
        QCOMPARE(section->sandboxedGroup()->isVisibleTo(&view), !sandboxed.isEmpty());
        QCOMPARE(names(section->duplicableGrid()->apps()), duplicable);
        QCOMPARE(names(section->sandboxedGrid()->apps()), sandboxed);
        // A search that leaves nothing says so, quoting itself.
        const bool nothing = duplicable.isEmpty() && sandboxed.isEmpty();
        QCOMPARE(section->noMatchHint()->isVisibleTo(&view), nothing);
        QVERIFY(!nothing
            || section->noMatchHint()->text().contains(QLatin1Char('"') + search + QLatin1Char('"')));
        // The instances ignore the search.
        QVERIFY(view.spacesSection()->isVisibleTo(&view));
        QCOMPARE(view.spacesSection()->rows().size(), 1);
    }

    // A desktop entry is also found by what it is and its keywords
    void search_keywords_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<QStringList>("found");
        QTest::newRow("the generic name") << "web" << QStringList { "Firefox ESR" };
        QTest::newRow("a keyword, any case") << "TEXTO" << QStringList { "Mousepad" };
        QTest::newRow("the name still") << "pad" << QStringList { "Mousepad" };
        QTest::newRow("another app's word") << "editor" << QStringList { "Mousepad" };
    }
    void search_keywords()
    {
        QFETCH(QString, search);
        QFETCH(QStringList, found);
        const QList<InstalledApp> apps { { QUrl::fromLocalFile(QStringLiteral("/a/firefox-esr.desktop")),
                                             QStringLiteral("Firefox ESR"),
                                             QStringLiteral("Web Browser\nInternet") },
            { QUrl::fromLocalFile(QStringLiteral("/a/mousepad.desktop")), QStringLiteral("Mousepad"),
                QStringLiteral("Editor\ntexto") } };
        QCOMPARE(names(filterApps(apps, search)), found);
    }

    void noInstances_hintInsteadOfRows()
    {
        QDir(Store::spacesDir()).removeRecursively();
        ContentView view(QStringList { m_apps });
        QVERIFY(view.spacesSection()->emptyHint()->isVisibleTo(&view));
        QDir().mkpath(Store::spacesDir() + QStringLiteral("/Mail - Work.app"));
        view.store().scanSpaces();
        QVERIFY(!view.spacesSection()->emptyHint()->isVisibleTo(&view));
        QCOMPARE(view.spacesSection()->rows().size(), 1);
    }

    // Language
    void language_everyTextFollowsAtOnce()
    {
        MainWindow window(QStringList { m_apps });
        ContentView &view = *window.contentView();
        QTRY_VERIFY(!view.store().sandboxedPaths().isEmpty());
        view.header()->languageMenu()->aboutToShow();
        const QStringList spanish = visibleTexts(&window);
        LanguageManager::shared().setChoice(LanguageManager::Choice::En);
        const QStringList english = visibleTexts(&window);
        QCOMPARE(english.size(), spanish.size());
        for (const QString &text : spanish) {
            // Names of apps and instances and of the two languages read the same in both.
            if (text.contains(QLatin1String("Español")) || text.contains(QLatin1String("English"))
                || text == QLatin1String("Tandrel") || text.contains(QLatin1String("Mail")))
                continue;
            QVERIFY2(!english.contains(text), qPrintable(text));
        }
        QVERIFY(!Header::logoImage().isNull());
        // The check mark moves to the language in force.
        QVERIFY(
            english.contains(QStringLiteral("✓ English")) && spanish.contains(QStringLiteral("✓ Español")));
        QVERIFY(english.contains(QStringLiteral("&View"))
            && spanish.contains(QStringLiteral("&Ver"))); // the menu bar too
        LanguageManager::shared().setChoice(LanguageManager::Choice::Es);
        QCOMPARE(visibleTexts(&window), spanish);
    }

    // The window opens where and as large as it was left, and first within the screen
    void window_sizeRemembered()
    {
        QSettings().remove(QStringLiteral("window/geometry"));
        auto *first = new MainWindow(QStringList { m_apps });
        const QSize room = QGuiApplication::primaryScreen()->availableGeometry().size();
        QVERIFY(first->width() <= room.width() && first->height() <= room.height());
        first->show();
        first->resize(first->size() + QSize(37, 23));
        QVERIFY(QTest::qWaitForWindowExposed(first));
        const QSize left = first->size();
        first->close(); // deletes itself
        MainWindow second(QStringList { m_apps });
        QCOMPARE(second.size(), left);
    }

    void keyboard_shortcutsAndTabChain()
    {
        MainWindow window(QStringList { m_apps });
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        ContentView *view = window.contentView();
        QTRY_VERIFY(!view->store().sandboxedPaths().isEmpty());
        const QList<QAction *> menus = window.menuBar()->actions();
        const auto viewMenu = std::find_if(menus.cbegin(), menus.cend(),
            [&](QAction *menu) { return menu->menu()->actions().contains(window.findAction()); });
        QVERIFY(viewMenu != menus.cend());
        QCOMPARE((*viewMenu)->menu()->actions(),
            (QList<QAction *> { window.findAction(), window.refreshAction() }));
        // Quit and Close take Ctrl+Q and Ctrl+W whatever the theme's own keys are.
        for (QAction *action : window.findChildren<QAction *>()) {
            if (action->menuRole() == QAction::QuitRole)
                QVERIFY(action->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_Q)));
            if (action->shortcuts().contains(QKeySequence(QKeySequence::Close)))
                QVERIFY(action->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_W)));
        }
        QCOMPARE(window.findAction()->shortcut(), QKeySequence(QKeySequence::Find));
        QLineEdit *search = view->header()->searchField()->lineEdit();
        AppGrid *cards = view->appsSection()->duplicableGrid();
        cards->setFocus();
        QTest::keySequence(&window, QKeySequence::Find);
        QVERIFY(search->hasFocus());
        QTest::keyClicks(search, QStringLiteral("Mail"));
        QTest::keyClick(search, Qt::Key_Escape);
        QVERIFY(view->search().isEmpty());
        QSignalSpy rescans(&view->store(), &Store::spacesChanged);
        for (const QKeySequence &key : { QKeySequence(Qt::Key_F5), QKeySequence(Qt::CTRL | Qt::Key_R) })
            QTest::keySequence(&window, key);
        QCOMPARE(rescans.count(), 2);

        SpaceRow *row = view->spacesSection()->rows().first();
        QTRY_VERIFY(row->isVisible()); // the rows a rescan made are shown once it has returned
        const QList<QWidget *> chain { search, view->header()->languageButton(),
            view->header()->refreshButton(), cards, view->appsSection()->sandboxedGrid(), row->openButton(),
            row->revealButton(), row->deleteButton(), search };
        for (qsizetype i = 0; i + 1 < chain.size(); ++i) {
            QCOMPARE(QApplication::focusWidget(), chain[i]);
            QTest::keyClick(chain[i], Qt::Key_Tab);
        }
        QCOMPARE(QApplication::focusWidget(), chain.last());

        QStringList asked;
        setConfirmer(
            [&asked](const Confirmation &confirmation) { return asked << confirmation.message, false; });
        row->revealButton()->setFocus();
        QTest::keyClick(row->revealButton(), Qt::Key_Delete);
        setConfirmer({});
        QCOMPARE(asked, QStringList { QStringLiteral("¿Eliminar \"Mail - Work\"?") });
        cards->setFocus();
        QTest::keyClick(cards, Qt::Key_Return);
        QVERIFY(view->createSheet());
        view->createSheet()->reject();
        // Down moves into the results; Enter opens the sheet for the first of them.
        QTest::keyClicks(search, QStringLiteral("o"));
        QTest::keyClick(search, Qt::Key_Down);
        QVERIFY(cards->hasFocus());
        search->setFocus();
        QTest::keyClick(search, Qt::Key_Return);
        QTRY_VERIFY(view->selectedApp());
        QCOMPARE(view->selectedApp()->name(), QStringLiteral("Notes"));
        view->createSheet()->reject();
    }

    void accessibility_searchTypeAndPress()
    {
        MainWindow window(QStringList { m_apps });
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QAccessibleInterface *root = QAccessible::queryAccessibleInterface(&window);
        QAccessibleInterface *search = findAccessible(
            root, QAccessible::EditableText, QStringLiteral("Buscar una app para duplicar…"));
        QVERIFY(search);
        QVERIFY(search->editableTextInterface());
        search->editableTextInterface()->insertText(0, QStringLiteral("Not"));
        QCOMPARE(window.contentView()->search(), QStringLiteral("Not"));
        QAccessibleInterface *card = findAccessible(root, QAccessible::Button, QStringLiteral("Notes"));
        QVERIFY(card);
        QVERIFY(card->actionInterface());
        card->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QVERIFY(window.contentView()->selectedApp());
        QCOMPARE(window.contentView()->selectedApp()->name(), QStringLiteral("Notes"));
    }
};

TANDREL_WIDGETS_TEST_MAIN(ContentViewTest)
#include "tst_contentview.moc"
