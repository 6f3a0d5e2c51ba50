#include "l10n/LanguageManager.h"
#include "support/RecordingWorkspace.h"
#include "support/TestEnvironment.h"
#include "ui/AppGrid.h"

#include <QAccessible>
#include <QApplication>
#include <QScrollArea>
#include <QSignalSpy>
#include <QVBoxLayout>

using namespace tandrel;

namespace {

QList<InstalledApp> makeApps(int count, const QString &prefix = QStringLiteral("App"))
{
    QList<InstalledApp> apps;
    apps.reserve(count);
    const QString folder = test::isolatedHome() + QStringLiteral("/Apps/");
    for (int i = 0; i < count; ++i)
        apps.append(InstalledApp { QUrl::fromLocalFile(
            folder + QStringLiteral("%1 %2.app").arg(prefix).arg(i, 4, 10, QLatin1Char('0'))) });
    return apps;
}

// The grid as the window shows it: inside a scroll area of a 700 x 520 window.
struct ScrolledGrid
{
    explicit ScrolledGrid(int count, bool sandboxed = false)
    {
        auto *layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        area = new QScrollArea(&window);
        area->setWidgetResizable(true);
        grid = new AppGrid(sandboxed);
        grid->setApps(makeApps(count));
        area->setWidget(grid);
        layout->addWidget(area);
        window.resize(700, 520);
    }
    QWidget window;
    QScrollArea *area = nullptr;
    AppGrid *grid = nullptr;
};

InstalledApp activatedApp(const QSignalSpy &spy)
{
    return spy.isEmpty() ? InstalledApp {} : spy.last().at(0).value<InstalledApp>();
}

} // namespace

class AppGridTest : public QObject
{
    Q_OBJECT
private:
    test::RecordingWorkspace m_workspace;

private Q_SLOTS:
    void initTestCase() { m_workspace.install(); }
    void init()
    {
        m_workspace.iconRequests.clear();
        LanguageManager::shared().setChoice(LanguageManager::Choice::En);
    }

    // Layout

    void columnCount_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("columns");
        QTest::newRow("one short of two") << 231 << 1;
        QTest::newRow("two exactly") << 232 << 2;
        QTest::newRow("the minimum window") << 652 << 5;
    }
    void columnCount()
    {
        QFETCH(int, width);
        QFETCH(int, columns);
        QCOMPARE(AppGrid::columnCount(width), columns);
    }

    // Tooltips

    void toolTip_namesTheAppInEachLanguage()
    {
        for (const bool sandboxed : { false, true }) {
            AppGrid grid(sandboxed);
            grid.setApps(makeApps(4));
            const InstalledApp app = grid.apps().at(2);
            // Taken when shown: the grid exists before the language changes.
            LanguageManager::shared().setChoice(LanguageManager::Choice::Es);
            const QString spanish = grid.toolTipFor(app);
            LanguageManager::shared().setChoice(LanguageManager::Choice::En);
            const QString english = grid.toolTipFor(app);
            QVERIFY(spanish != english);
            // A sandboxed card names the app first, any other last.
            for (const QString &tip : { spanish, english })
                QVERIFY(sandboxed ? tip.startsWith(app.name() + QLatin1Char(' '))
                                  : tip.endsWith(QLatin1Char(' ') + app.name()));
        }
    }

    void keyboard_movesAndActivates_data()
    {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<int>("expected");
        // Seven apps in five columns: 0-4 above, 5-6 below.
        QTest::newRow("first card when focused") << QList<int> {} << 0;
        QTest::newRow("left stops at the first") << QList<int> { Qt::Key_Left } << 0;
        QTest::newRow("down into a shorter row")
            << QList<int> { Qt::Key_Right, Qt::Key_Right, Qt::Key_Right, Qt::Key_Down } << 6;
        QTest::newRow("up") << QList<int> { Qt::Key_Down, Qt::Key_Right, Qt::Key_Up } << 1;
        QTest::newRow("home") << QList<int> { Qt::Key_End, Qt::Key_Home } << 0;
    }
    void keyboard_movesAndActivates()
    {
        QFETCH(QList<int>, keys);
        QFETCH(int, expected);
        ScrolledGrid view(7);
        view.window.resize(670, 400);
        view.window.show();
        QVERIFY(QTest::qWaitForWindowActive(&view.window));
        QCOMPARE(AppGrid::columnCount(view.grid->width()), 5);
        view.grid->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(view.grid->hasFocus());
        QSignalSpy spy(view.grid, &AppGrid::appActivated);
        for (int key : keys)
            QTest::keyClick(view.grid, Qt::Key(key));
        QCOMPARE(spy.count(), 0);
        for (Qt::Key activation : { Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space }) {
            QTest::keyClick(view.grid, activation);
            QCOMPARE(activatedApp(spy), view.grid->apps().at(expected));
        }
        QCOMPARE(spy.count(), 3);
    }

    // Accessibility

    void accessibility_cardsAreButtons_data()
    {
        QTest::addColumn<bool>("sandboxed");
        QTest::newRow("duplicable") << false;
        QTest::newRow("sandboxed") << true;
    }
    void accessibility_cardsAreButtons()
    {
        QFETCH(bool, sandboxed);
        ScrolledGrid view(3, sandboxed);
        view.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view.window));
        AppGrid &grid = *view.grid;
        QAccessibleInterface *list = QAccessible::queryAccessibleInterface(&grid);
        QVERIFY(list);
        QCOMPARE(list->childCount(), 3);
        for (int i = 0; i < 3; ++i) {
            QAccessibleInterface *card = list->child(i);
            QVERIFY(card);
            QCOMPARE(list->child(i), card);
            QCOMPARE(card->role(), QAccessible::Button);
            QCOMPARE(card->text(QAccessible::Name), grid.apps().at(i).name());
            QCOMPARE(list->indexOfChild(card), i);
            QCOMPARE(list->childAt(card->rect().center().x(), card->rect().center().y()), card);
        }

        QSignalSpy spy(&grid, &AppGrid::appActivated);
        QAccessibleActionInterface *action = list->child(1)->actionInterface();
        QVERIFY(action);
        QVERIFY(action->actionNames().contains(QAccessibleActionInterface::pressAction()));
        action->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(spy.count(), 1);
        QCOMPARE(activatedApp(spy), grid.apps().at(1));
    }
};

TANDREL_WIDGETS_TEST_MAIN(AppGridTest)
#include "tst_appgrid.moc"
