#include "l10n/LanguageManager.h"
#include "support/RecordingWorkspace.h"
#include "support/TestEnvironment.h"
#include "ui/AppGrid.h"

#include <QAccessible>
#include <QApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QToolTip>
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

QPoint centreOf(const AppGrid &grid, int index)
{
    return grid.cardRect(index).center();
}

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
        QTest::newRow("negative") << -200 << 1;
        QTest::newRow("one short of two") << 231 << 1;
        QTest::newRow("two exactly") << 232 << 2;
        QTest::newRow("the minimum window") << 652 << 5;
        QTest::newRow("six exactly") << 720 << 6;
    }
    void columnCount()
    {
        QFETCH(int, width);
        QFETCH(int, columns);
        QCOMPARE(AppGrid::columnCount(width), columns);
    }

    void layout_columnsShareTheWidthAndRowsAreTwelveApart_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("rows");
        QTest::newRow("columns stretched") << 300 << 7 << 2 << 4;
        QTest::newRow("uneven leftover") << 653 << 11 << 5 << 3;
        QTest::newRow("empty") << 652 << 0 << 5 << 0;
    }
    void layout_columnsShareTheWidthAndRowsAreTwelveApart()
    {
        QFETCH(int, width);
        QFETCH(int, count);
        QFETCH(int, columns);
        QFETCH(int, rows);
        AppGrid grid(false);
        grid.setApps(makeApps(count));
        grid.resize(width, grid.heightForWidth(width));
        const int cardHeight = count > 0 ? grid.cardRect(0).height() : 0;
        QCOMPARE(grid.heightForWidth(width), rows > 0 ? rows * cardHeight + (rows - 1) * 12 : 0);
        for (int i = 0; i < count; ++i) {
            const QRect card = grid.cardRect(i);
            QCOMPARE(card.top(), (i / columns) * (cardHeight + 12));
            // Columns share the width: 12 apart, the last one ending at the edge.
            QCOMPARE(i % columns == 0 ? card.left() : card.left() - grid.cardRect(i - 1).right() - 1, i % columns == 0 ? 0 : 12);
            if (i % columns == columns - 1)
                QCOMPARE(card.right(), width - 1);
        }
        if (count > 0)
            QCOMPARE(grid.cardRect(count - 1).bottom() + 1, grid.heightForWidth(width));
        QVERIFY(grid.cardRect(count).isNull());
    }

    // Laziness

    void manyApps_paintOnlyAScreenful()
    {
        ScrolledGrid view(5000);
        view.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view.window));
        QTRY_VERIFY(view.grid->lastPaintedCardCount() > 0);
        QCOMPARE(view.grid->height(), view.grid->heightForWidth(view.grid->width()));
        qDebug("painted %d of 5000 cards", view.grid->lastPaintedCardCount());
        QVERIFY2(view.grid->lastPaintedCardCount() <= 40,
            qPrintable(QString::number(view.grid->lastPaintedCardCount())));
        QVERIFY(m_workspace.iconRequests.size() <= 40);

        QScrollBar *bar = view.area->verticalScrollBar();
        bar->setValue(bar->maximum());
        const QString lastId = view.grid->apps().constLast().id();
        QTRY_VERIFY(m_workspace.iconRequests.contains(lastId));
        QVERIFY(view.grid->lastPaintedCardCount() <= 40);
        QVERIFY(m_workspace.iconRequests.size() <= 80);
    }

    // Tooltips

    void toolTip_namesTheAppInEachLanguage_data()
    {
        QTest::addColumn<bool>("sandboxed");
        QTest::newRow("duplicable") << false;
        QTest::newRow("sandboxed") << true;
    }
    void toolTip_namesTheAppInEachLanguage()
    {
        QFETCH(bool, sandboxed);
        ScrolledGrid view(4, sandboxed);
        view.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view.window));
        const InstalledApp app = view.grid->apps().at(2);
        // Taken when shown: the grid exists before the language changes.
        LanguageManager::shared().setChoice(LanguageManager::Choice::Es);
        const QString spanish = view.grid->toolTipFor(app);
        LanguageManager::shared().setChoice(LanguageManager::Choice::En);
        const QString english = view.grid->toolTipFor(app);
        QVERIFY(spanish != english);
        // A sandboxed card names the app first, any other last.
        for (const QString &tip : {spanish, english})
            QVERIFY(sandboxed ? tip.startsWith(app.name() + QLatin1Char(' ')) : tip.endsWith(QLatin1Char(' ') + app.name()));

        const QPoint at = centreOf(*view.grid, 2);
        QHelpEvent help(QEvent::ToolTip, at, view.grid->mapToGlobal(at));
        QApplication::sendEvent(view.grid, &help);
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), english);
        QToolTip::hideText();
    }

    // Clicks

    void click_emitsTheCardsApp_data()
    {
        QTest::addColumn<bool>("sandboxed");
        QTest::newRow("duplicable") << false;
        QTest::newRow("sandboxed") << true;
    }
    void click_emitsTheCardsApp()
    {
        QFETCH(bool, sandboxed);
        ScrolledGrid view(6, sandboxed);
        view.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view.window));
        AppGrid &grid = *view.grid;
        QSignalSpy spy(&grid, &AppGrid::appActivated);

        QTest::mouseClick(&grid, Qt::LeftButton, {}, centreOf(grid, 4));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(activatedApp(spy), grid.apps().at(4));

        // Pressed on one card and released on another, or in a gap: nothing.
        QTest::mousePress(&grid, Qt::LeftButton, {}, centreOf(grid, 0));
        QTest::mouseRelease(&grid, Qt::LeftButton, {}, centreOf(grid, 1));
        QTest::mouseClick(
            &grid, Qt::LeftButton, {}, QPoint(grid.cardRect(1).left() - 6, grid.cardRect(1).center().y()));
        QTest::mouseClick(&grid, Qt::RightButton, {}, centreOf(grid, 2));
        QCOMPARE(spy.count(), 1);
    }

    // Keyboard

    void keyboard_movesAndActivates_data()
    {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<int>("expected");
        // Seven apps in five columns: 0-4 above, 5-6 below.
        QTest::newRow("first card when focused") << QList<int> {} << 0;
        QTest::newRow("left stops at the first") << QList<int> { Qt::Key_Left } << 0;
        QTest::newRow("down into a shorter row")
            << QList<int> { Qt::Key_Right, Qt::Key_Right, Qt::Key_Right, Qt::Key_Down } << 6;
        QTest::newRow("down stops at the last row") << QList<int> { Qt::Key_Down, Qt::Key_Down } << 5;
        QTest::newRow("up") << QList<int> { Qt::Key_Down, Qt::Key_Right, Qt::Key_Up } << 1;
        QTest::newRow("right stops at the last") << QList<int> { Qt::Key_End, Qt::Key_Right } << 6;
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
