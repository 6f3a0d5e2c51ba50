#include "l10n/LanguageManager.h"
#include "l10n/Tr.h"
#include "model/Mode.h"
#include "support/TestEnvironment.h"

#include <QSettings>
#include <QSignalSpy>

#include <memory>

namespace tandrel {

class LanguageManagerTest : public QObject
{
    Q_OBJECT

    static std::unique_ptr<LanguageManager> freshManager()
    {
        return std::unique_ptr<LanguageManager>(new LanguageManager);
    }

    static QVariant stored()
    {
        QSettings settings;
        settings.sync();
        return settings.value(QLatin1String(LanguageManager::settingsKey));
    }

    static void store(const QVariant &value)
    {
        QSettings settings;
        if (value.isValid())
            settings.setValue(QLatin1String(LanguageManager::settingsKey), value);
        else
            settings.remove(QLatin1String(LanguageManager::settingsKey));
        settings.sync();
    }

private Q_SLOTS:
    void cleanup() { LanguageManager::shared().setChoice(LanguageManager::Choice::Auto); }

    // Start-up from the stored setting
    void initialChoice_data()
    {
        QTest::addColumn<QVariant>("storedValue");
        QTest::addColumn<int>("expected");
        QTest::newRow("nothing stored") << QVariant() << int(LanguageManager::Choice::Auto);
        QTest::newRow("en") << QVariant(QStringLiteral("en")) << int(LanguageManager::Choice::En);
        QTest::newRow("ES in capitals")
            << QVariant(QStringLiteral("ES")) << int(LanguageManager::Choice::Auto);
    }
    void initialChoice()
    {
        QFETCH(QVariant, storedValue);
        QFETCH(int, expected);
        store(storedValue);
        const auto manager = freshManager();
        QCOMPARE(int(manager->choice()), expected);
        // Starting never writes: an unknown value stays, nothing is added.
        QCOMPARE(stored(), storedValue);
    }

    // Assignment
    void setChoice_persistsAndNotifiesEveryTime_data()
    {
        QTest::addColumn<int>("choice");
        QTest::addColumn<QString>("raw");
        QTest::newRow("en") << int(LanguageManager::Choice::En) << "en";
        QTest::newRow("auto is written, not removed") << int(LanguageManager::Choice::Auto) << "auto";
    }
    void setChoice_persistsAndNotifiesEveryTime()
    {
        QFETCH(int, choice);
        QFETCH(QString, raw);
        store(QStringLiteral("ES"));
        const auto manager = freshManager();
        QSignalSpy spy(manager.get(), &LanguageManager::choiceChanged);
        manager->setChoice(LanguageManager::Choice(choice));
        QCOMPARE(stored(), QVariant(raw));
        store(QStringLiteral("garbage"));
        manager->setChoice(LanguageManager::Choice(choice)); // same value again: written again
        QCOMPARE(stored(), QVariant(raw));
        QCOMPARE(spy.count(), 2);
        QCOMPARE(freshManager()->choice(), LanguageManager::Choice(choice));
    }

    // Automatic choice from the preferred languages
    void prefersSpanish_data()
    {
        QTest::addColumn<QStringList>("languages");
        QTest::addColumn<bool>("spanish");
        QTest::newRow("Spanish first") << QStringList { "es-ES", "en-US" } << true;
        QTest::newRow("English first") << QStringList { "en-GB", "es" } << false;
        QTest::newRow("other, then Spanish") << QStringList { "fr-FR", "de", "es_MX" } << true;
        QTest::newRow("only other languages") << QStringList { "fr", "C" } << false;
    }
    void prefersSpanish()
    {
        QFETCH(QStringList, languages);
        QFETCH(bool, spanish);
        QCOMPARE(LanguageManager::prefersSpanish(languages), spanish);
    }
};

} // namespace tandrel

TANDREL_TEST_MAIN(tandrel::LanguageManagerTest)
#include "tst_languagemanager.moc"
