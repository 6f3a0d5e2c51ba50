#include "formats/MachOSignature.h"
#include "model/Store.h"
#include "support/FakeBundle.h"
#include "support/MachOBuilder.h"
#include "support/TestEnvironment.h"

#include <thread>
#include <vector>

using namespace tandrel;
using namespace tandrel::test;

namespace {

QByteArray signedExecutable(SandboxValue value, quint32 cpu = quint32(hostCpu()))
{
    ThinOptions options;
    options.cpuType = cpu;
    options.entitlements = entitlementsXml(value);
    return buildThin(options);
}

QUrl bundleWith(const QString &folder, const QString &name, const QByteArray &executable)
{
    FakeBundleOptions options;
    options.executableBytes = executable;
    return QUrl::fromLocalFile(makeFakeBundle(folder, name, options));
}

} // namespace

class SandboxDetectionTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void entitlementValues_data()
    {
        QTest::addColumn<QByteArray>("executable");
        QTest::addColumn<bool>("sandboxed");
        QTest::newRow("true") << signedExecutable(SandboxValue::True) << true;
        QTest::newRow("integer one") << signedExecutable(SandboxValue::IntegerOne) << true;
        QTest::newRow("false") << signedExecutable(SandboxValue::False) << false;
        QTest::newRow("integer zero") << signedExecutable(SandboxValue::IntegerZero) << false;
        QTest::newRow("string true") << signedExecutable(SandboxValue::StringTrue) << false;
        QTest::newRow("key absent") << signedExecutable(SandboxValue::Absent) << false;
        ThinOptions withoutEntitlements;
        withoutEntitlements.cpuType = quint32(hostCpu());
        withoutEntitlements.signing = Signing::WithoutEntitlements;
        QTest::newRow("signed without entitlements") << buildThin(withoutEntitlements) << false;
        ThinOptions unsignedOptions = withoutEntitlements;
        unsignedOptions.signing = Signing::Unsigned;
        QTest::newRow("unsigned") << buildThin(unsignedOptions) << false;
        QTest::newRow("garbage") << QByteArray("#!/bin/sh\necho not mach-o\n") << false;
        QTest::newRow("entitlements not a plist")
            << buildThin({ quint32(hostCpu()), true, false, Signing::WithEntitlements, "<<<not xml", 2 })
            << false;
        // The slice this machine would run decides, wherever it stands in the file.
        QTest::newRow("fat, host slice sandboxed, not first")
            << buildFat({ { cpuPowerPC64, signedExecutable(SandboxValue::False, cpuPowerPC64) },
                   { quint32(hostCpu()), signedExecutable(SandboxValue::True) } })
            << true;
        QTest::newRow("fat, only a foreign first slice sandboxed")
            << buildFat({ { cpuPowerPC64, signedExecutable(SandboxValue::True, cpuPowerPC64) },
                   { quint32(hostCpu()), signedExecutable(SandboxValue::False) } })
            << false;
    }
    void entitlementValues()
    {
        QFETCH(QByteArray, executable);
        QFETCH(bool, sandboxed);
        QTemporaryDir dir;
        const QUrl app = bundleWith(dir.path(), QStringLiteral("Example"), executable);
        QCOMPARE(Store::isSandboxed(app), sandboxed);
        QCOMPARE(Store::isSandboxed(app), sandboxed); // and again, from the cache
    }

    void brokenBundles_data()
    {
        QTest::addColumn<QString>("what");
        QTest::newRow("missing executable") << "missing executable";
        QTest::newRow("missing Info.plist") << "missing Info.plist";
        QTest::newRow("no bundle at all") << "nothing";
    }
    void brokenBundles()
    {
        QFETCH(QString, what);
        QTemporaryDir dir;
        FakeBundleOptions options;
        options.executableBytes = signedExecutable(SandboxValue::True);
        options.omitExecutable = what == QLatin1String("missing executable");
        QString path = dir.filePath(QStringLiteral("Nothing.app"));
        if (what != QLatin1String("nothing"))
            path = makeFakeBundle(dir.path(), QStringLiteral("Broken"), options);
        if (what == QLatin1String("missing Info.plist"))
            QVERIFY(QFile::remove(path + QStringLiteral("/Contents/Info.plist")));
        QVERIFY(!Store::isSandboxed(QUrl::fromLocalFile(path)));
    }

    void answerIsCachedForTheRestOfTheProcess()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Later.app"));
        QVERIFY(!Store::isSandboxed(QUrl::fromLocalFile(path)));
        // A sandboxed app placed there now is not seen: the first answer stands.
        const QUrl app
            = bundleWith(dir.path(), QStringLiteral("Later"), signedExecutable(SandboxValue::True));
        QCOMPARE(app.toLocalFile(), path);
        QVERIFY(!Store::isSandboxed(app));
    }

    void manyThreadsGetTheSameAnswersAsOne()
    {
        QTemporaryDir dir;
        QList<QUrl> apps;
        QList<bool> expected;
        for (int i = 0; i < 48; ++i) {
            const bool sandboxed = i % 3 == 0;
            apps << bundleWith(dir.path(), QStringLiteral("App %1").arg(i),
                signedExecutable(sandboxed ? SandboxValue::True : SandboxValue::False));
            expected << sandboxed;
        }
        // Eight threads ask about every path at once, each starting at another place.
        constexpr int threadCount = 8;
        const int count = int(apps.size());
        std::vector<std::vector<char>> answers(threadCount, std::vector<char>(size_t(count)));
        std::vector<std::thread> threads;
        for (int t = 0; t < threadCount; ++t) {
            threads.emplace_back([&, t] {
                for (int k = 0; k < count; ++k) {
                    const int i = (k + t * 7) % count;
                    answers[size_t(t)][size_t(i)] = Store::isSandboxed(apps.at(i));
                }
            });
        }
        for (std::thread &thread : threads)
            thread.join();
        for (int t = 0; t < threadCount; ++t)
            for (int i = 0; i < count; ++i)
                QCOMPARE(bool(answers[size_t(t)][size_t(i)]), expected.at(i));
    }
};

TANDREL_TEST_MAIN(SandboxDetectionTest)
#include "tst_sandboxdetection.moc"
