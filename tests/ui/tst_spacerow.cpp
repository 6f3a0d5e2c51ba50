#include "l10n/LanguageManager.h"
#include "model/Store.h"
#include "support/FakeBundle.h"
#include "support/RecordingWorkspace.h"
#include "support/TestEnvironment.h"
#include "ui/Confirmation.h"
#include "ui/ContentView.h"
#include "ui/ElidedLabel.h"
#include "ui/SpaceRow.h"
#include "ui/SpacesSection.h"

#include <QAccessible>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>

using namespace tandrel;
using namespace tandrel::test;

class SpaceRowTest : public QObject
{
    Q_OBJECT

    RecordingWorkspace m_workspace;
    QTemporaryDir m_root;
    QString m_apps;
    QList<Confirmation> m_asked;
    bool m_answer = false;

    SpaceRow *onlyRow(ContentView &view)
    {
        const QList<SpaceRow *> rows = view.spacesSection()->rows();
        return rows.size() == 1 ? rows.first() : nullptr;
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_workspace.install();
        m_apps = m_root.filePath(QStringLiteral("apps"));
        makeFakeBundle(m_apps, QStringLiteral("Mail"));
        setConfirmer([this](const Confirmation &confirmation) {
            m_asked.append(confirmation);
            return m_answer;
        });
    }
    void init()
    {
        QDir(isolatedHome() + QStringLiteral("/Applications")).removeRecursively();
        QDir(isolatedHome() + QStringLiteral("/Library")).removeRecursively();
        m_asked.clear();
        LanguageManager::shared().setChoice(LanguageManager::Choice::En);
    }

    void buttons_openRevealAndTheirTexts()
    {
        ContentView view(QStringList{m_apps});
        const QUrl wrapper = view.store().createSpace(view.store().apps().first(), QStringLiteral("Work"), Mode::Auto);
        SpaceRow *row = onlyRow(view);
        QVERIFY(row);
        QCOMPARE(row->accessibleName(), QStringLiteral("Mail - Work"));
        QCOMPARE(row->targetLabel()->text(), QString(m_apps + QStringLiteral("/Mail.app")));
        QCOMPARE(row->revealButton()->toolTip(), QStringLiteral("Show the instance in Finder (") + wrapper.toLocalFile() + QStringLiteral(")"));
        QCOMPARE(row->openButton()->accessibleName(), QStringLiteral("Open"));
        QCOMPARE(row->deleteButton()->accessibleDescription(), QStringLiteral("Delete the instance and all its data"));
        QTest::mouseClick(row->openButton(), Qt::LeftButton);
        QCOMPARE(m_workspace.opened, QList<QUrl>{wrapper});
        QTest::mouseClick(row->revealButton(), Qt::LeftButton);
        QCOMPARE(m_workspace.revealed, (QList<QList<QUrl>>{{wrapper}}));

        LanguageManager::shared().setChoice(LanguageManager::Choice::Es);
        row = onlyRow(view);
        QCOMPARE(row->openButton()->text(), QStringLiteral("Abrir"));
        QCOMPARE(row->revealButton()->text(), QStringLiteral("Ver en Finder"));
        QCOMPARE(row->deleteButton()->toolTip(), QStringLiteral("Eliminar la instancia y todos sus datos"));
        QCOMPARE(QAccessible::queryAccessibleInterface(row->openButton())->role(), QAccessible::Button);
    }

    void noRecord_showsOnlyTheName()
    {
        QDir().mkpath(Store::spacesDir() + QStringLiteral("/Loose.app"));
        ContentView view(QStringList{m_apps});
        SpaceRow *row = onlyRow(view);
        QVERIFY(row);
        QVERIFY(row->targetLabel()->isHidden());
    }

    // Icons: a wrapper's icon is decoded when its row is first painted, not before
    void icons_onlyRowsInViewFetchTheirIcon()
    {
        QStringList wrappers;
        for (int i = 0; i < 30; ++i) {
            wrappers.append(Store::spacesDir() + QStringLiteral("/Instance %1.app").arg(i, 2, 10, QLatin1Char('0')));
            QVERIFY(QDir().mkpath(wrappers.last()));
        }
        m_workspace.iconRequests.clear();
        ContentView view(QStringList{m_apps});
        QCOMPARE(view.spacesSection()->rows().size(), 30);
        QVERIFY(m_workspace.iconRequests.isEmpty());
        view.resize(700, 520);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QTRY_VERIFY(m_workspace.iconRequests.contains(wrappers.first()));
        QVERIFY(!m_workspace.iconRequests.contains(wrappers.last()));

        QScrollBar *scrollBar = view.scrollArea()->verticalScrollBar();
        scrollBar->setValue(scrollBar->maximum());
        QTRY_VERIFY(m_workspace.iconRequests.contains(wrappers.last()));
        QCOMPARE(m_workspace.iconRequests.count(wrappers.last()), 1);
    }

    void longTargetIsCutInTheMiddle()
    {
        ElidedLabel label;
        label.setText(QStringLiteral("/Applications/") + QString(200, QLatin1Char('x')) + QStringLiteral("/End.app"));
        label.resize(200, 20);
        const QString shown = label.displayedText();
        QVERIFY(shown.startsWith(QLatin1String("/Applications/")));
        QVERIFY(shown.endsWith(QLatin1String("End.app")));
        QVERIFY(shown.contains(QChar(0x2026)));
    }

    void delete_cancelKeepsEverything_deleteRemovesWrapperAndData()
    {
        makeFakeHome(isolatedHome());
        ContentView view(QStringList{m_apps});
        const QUrl wrapper = view.store().createSpace(view.store().apps().first(), QStringLiteral("Work"), Mode::Home);
        const QString dataDir = *view.store().spaces().first().dataDir;
        // The isolated home holds links to the real folders, as after a first start.
        QDir().mkpath(dataDir + QStringLiteral("/home"));
        for (const char *folder : {"Downloads", "Documents", "Desktop"})
            QVERIFY(QFile::link(isolatedHome() + QLatin1Char('/') + QLatin1String(folder),
                                dataDir + QStringLiteral("/home/") + QLatin1String(folder)));

        m_answer = false;
        QTest::mouseClick(onlyRow(view)->deleteButton(), Qt::LeftButton);
        QCOMPARE(m_asked.size(), 1);
        QCOMPARE(m_asked.first().message, QStringLiteral("Delete \"Mail - Work\"?"));
        QCOMPARE(m_asked.first().actionTitle, QStringLiteral("Delete"));
        QCOMPARE(m_asked.first().cancelTitle, QStringLiteral("Cancel"));
        QVERIFY(QFileInfo::exists(wrapper.toLocalFile()));
        QVERIFY(QFileInfo::exists(dataDir));
        QVERIFY(onlyRow(view));

        m_answer = true;
        QTest::mouseClick(onlyRow(view)->deleteButton(), Qt::LeftButton);
        QVERIFY(!QFileInfo::exists(wrapper.toLocalFile()));
        QVERIFY(!QFileInfo::exists(dataDir));
        QVERIFY(view.spacesSection()->rows().isEmpty());
        QVERIFY(fakeHomeIntact(isolatedHome()));
    }

    void delete_confirmationInSpanish()
    {
        LanguageManager::shared().setChoice(LanguageManager::Choice::Es);
        ContentView view(QStringList{m_apps});
        view.store().createSpace(view.store().apps().first(), QStringLiteral("Work"), Mode::Auto);
        m_answer = false;
        QTest::mouseClick(onlyRow(view)->deleteButton(), Qt::LeftButton);
        QCOMPARE(m_asked.last().message, QStringLiteral("¿Eliminar \"Mail - Work\"?"));
        QCOMPARE(m_asked.last().informativeText,
                 QStringLiteral("Se borrará la instancia y todos sus datos (sesión, cookies, configuración). Esta acción no se puede deshacer."));
        QCOMPARE(m_asked.last().icon, QMessageBox::Warning);
    }
};

TANDREL_WIDGETS_TEST_MAIN(SpaceRowTest)
#include "tst_spacerow.moc"
