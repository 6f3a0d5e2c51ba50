#include "model/SpaceRecord.h"
#include "support/TestEnvironment.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>

using namespace tandrel;

namespace {

QDateTime utc(int y, int mo, int d, int h, int mi, int s)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), QTimeZone::utc());
}

} // namespace

class SpaceRecordTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Writer
    void toJson_sixStringMembers()
    {
        SpaceRecord record;
        record.id = QStringLiteral("0f8fad5b-d9cb-469f-a165-70867728950e");
        record.name = QStringLiteral("Work");
        record.target = QStringLiteral("/Applications/Mail & Co.app");
        record.mode = LaunchStrategy::UserDataDir;
        record.dataDir = QStringLiteral(
            "/Users/ana/Library/Application Support/Tandrel/0f8fad5b-d9cb-469f-a165-70867728950e");
        // 10:26:53.999 at +01:00 is 09:26:53 UTC: always UTC, to whole seconds.
        record.createdAt = QDateTime(QDate(2025, 3, 14), QTime(10, 26, 53, 999), QTimeZone(3600));

        const QByteArray json = record.toJson();
        QVERIFY(json.contains("\n    \"")); // indented, one member per line
        const QJsonObject object = QJsonDocument::fromJson(json).object();
        QCOMPARE(object.size(), 6);
        for (const QString &key : object.keys())
            QVERIFY2(object.value(key).isString(), qPrintable(key));
        QCOMPARE(object.value(QStringLiteral("mode")).toString(), QStringLiteral("udd"));
        QCOMPARE(
            object.value(QStringLiteral("createdAt")).toString(), QStringLiteral("2025-03-14T09:26:53Z"));
    }

    void roundTrip()
    {
        SpaceRecord record;
        record.id = QStringLiteral("0f8fad5b-d9cb-469f-a165-70867728950e");
        record.mode = LaunchStrategy::GeckoProfile;
        record.target = QStringLiteral("/Applications/Ñandú \"quoted\".app");
        record.dataDir = QStringLiteral("/data/x");
        record.createdAt = utc(2025, 3, 14, 9, 26, 53);
        const SpaceRecordFacts facts = tandrel::readSpaceRecord(record.toJson());
        QCOMPARE(facts.id, std::optional(record.id));
        QCOMPARE(facts.mode, std::optional(QStringLiteral("gecko")));
        QCOMPARE(facts.target, std::optional(record.target));
        QCOMPARE(facts.dataDir, std::optional(record.dataDir));
        QCOMPARE(facts.createdAt, std::optional(record.createdAt));
    }

    // Strict date-time reader
    void parseIsoDateTime_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDateTime>("expected"); // invalid: rejected
        QTest::newRow("Z") << "2025-03-14T09:26:53Z" << utc(2025, 3, 14, 9, 26, 53);
        QTest::newRow("positive offset") << "2025-03-14T10:26:53+01:00" << utc(2025, 3, 14, 9, 26, 53);
        QTest::newRow("fractional seconds") << "2025-03-14T09:26:53.120Z" << QDateTime();
        QTest::newRow("date only") << "2025-03-14" << QDateTime();
        QTest::newRow("no zone") << "2025-03-14T09:26:53" << QDateTime();
        QTest::newRow("lower-case z") << "2025-03-14T09:26:53z" << QDateTime();
        QTest::newRow("impossible date") << "2025-02-30T09:26:53Z" << QDateTime();
        QTest::newRow("impossible offset") << "2025-03-14T09:26:53+25:00" << QDateTime();
        QTest::newRow("trailing text") << "2025-03-14T09:26:53Zjunk" << QDateTime();
        QTest::newRow("non-ASCII digits") << "٢٠٢٥-03-14T09:26:53Z" << QDateTime();
    }
    void parseIsoDateTime()
    {
        QFETCH(QString, text);
        QFETCH(QDateTime, expected);
        const auto parsed = tandrel::parseIsoDateTime(text);
        QCOMPARE(parsed.has_value(), expected.isValid());
        if (parsed) {
            QCOMPARE(*parsed, expected);
            QCOMPARE(parsed->timeSpec(), Qt::UTC);
        }
    }
};

TANDREL_TEST_MAIN(SpaceRecordTest)
#include "tst_spacerecord.moc"
