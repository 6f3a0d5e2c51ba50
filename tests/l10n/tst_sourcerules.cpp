// Inside a QObject subclass an unqualified tr("es", "en") binds to QObject::tr and
// silently shows the Spanish text whatever the language; the project writes
// tandrel::tr everywhere. This test reads the sources and fails on any bare call.
#include "support/TestEnvironment.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>

namespace {

// Lines holding a call of tr that is neither qualified nor a member access.
QStringList unqualifiedTrCalls(const QString &source)
{
    static const QRegularExpression call(QStringLiteral("(?<![\\w:.>~])tr\\s*\\("));
    static const QRegularExpression lineComment(QStringLiteral("//.*$"));
    static const QRegularExpression literal(QStringLiteral("\"(?:[^\"\\\\]|\\\\.)*\""));
    QStringList hits;
    const QStringList lines = source.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        line.remove(literal);
        line.remove(lineComment);
        if (call.match(line).hasMatch())
            hits << QStringLiteral("%1: %2").arg(i + 1).arg(lines[i].trimmed());
    }
    return hits;
}

} // namespace

class SourceRulesTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void detector_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("flagged");
        QTest::newRow("bare call") << R"~(label->setText(tr("Hola", "Hello"));)~" << true;
        QTest::newRow("bare call with space") << R"~(auto t = tr ("a", "b");)~" << true;
        QTest::newRow("qualified") << R"~(label->setText(tandrel::tr("Hola", "Hello"));)~" << false;
        QTest::newRow("QObject::tr spelled out") << R"~(QObject::tr("x"))~" << false;
        QTest::newRow("other identifier") << R"~(attr("x"); ctr(1); str("a");)~" << false;
        QTest::newRow("in a comment") << R"~(x = 1; // never tr("a", "b"))~" << false;
        QTest::newRow("in a string") << R"~(s = "call tr(a, b)";)~" << false;
    }
    void detector()
    {
        QFETCH(QString, code);
        QFETCH(bool, flagged);
        QCOMPARE(!unqualifiedTrCalls(code).isEmpty(), flagged);
    }

    void sources_callOnlyQualifiedTr_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("src") << "src";
        QTest::newRow("tests") << "tests";
    }
    void sources_callOnlyQualifiedTr()
    {
        QFETCH(QString, folder);
        const QString root = QStringLiteral(TANDREL_SOURCE_DIR) + QLatin1Char('/') + folder;
        QDirIterator it(root, {QStringLiteral("*.cpp"), QStringLiteral("*.h"), QStringLiteral("*.mm")},
                        QDir::Files, QDirIterator::Subdirectories);
        QStringList offenders;
        int files = 0;
        while (it.hasNext()) {
            const QString path = it.next();
            // The one declaration and definition of tandrel::tr, and this file's own samples.
            if (path.endsWith(QLatin1String("/l10n/Tr.h")) || path.endsWith(QLatin1String("/l10n/Tr.cpp"))
                || path.endsWith(QLatin1String("/tst_sourcerules.cpp")))
                continue;
            QFile file(path);
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
            ++files;
            for (const QString &hit : unqualifiedTrCalls(QString::fromUtf8(file.readAll())))
                offenders << path.mid(root.size() + 1) + QLatin1Char(':') + hit;
        }
        QVERIFY(files > 0);
        QVERIFY2(offenders.isEmpty(), qPrintable(offenders.join(QLatin1Char('\n'))));
    }
};

TANDREL_TEST_MAIN(SourceRulesTest)
#include "tst_sourcerules.moc"
