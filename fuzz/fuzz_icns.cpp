// readLargestIcnsImage over arbitrary bytes. The decoding is done by Qt's ICNS
// image-format plugin, loaded at run time from the system: it is not instrumented, so
// coverage counts only our side, and memory errors inside it show only where they
// reach interceptors or our code.
#include "FuzzInput.h"

#include "formats/Icns.h"

#include <QCoreApplication>
#include <QImage>
#include <QImageReader>

#include <cstdio>
#include <cstdlib>

namespace {

// The plugin warns about every damaged file; at thousands of inputs a second that
// output would cost more than the decoding.
void dropMessage(QtMsgType, const QMessageLogContext &, const QString &)
{
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Plugins are found through the application object; it lives until exit.
    static int argc = 1;
    static char name[] = "fuzz_icns";
    static char *argv[] = { name, nullptr };
    static QCoreApplication *app = new QCoreApplication(argc, argv);
    (void)app;

    // Fuzzing without the plugin would only ever exercise the "not decodable" path.
    if (!QImageReader::supportedImageFormats().contains("icns")) {
        std::fprintf(stderr, "fuzz_icns: Qt's ICNS image-format plugin is missing\n");
        std::abort();
    }
    QImage probe(32, 32, QImage::Format_ARGB32);
    probe.fill(Qt::red);
    if (tandrel::readLargestIcnsImage(tandrel::icnsFromImage(probe)).size() != QSize(32, 32)) {
        std::fprintf(stderr, "fuzz_icns: the ICNS plugin does not decode a valid icon\n");
        std::abort();
    }
    if (!std::getenv("TANDREL_FUZZ_VERBOSE"))
        qInstallMessageHandler(dropMessage);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QImage image = tandrel::readLargestIcnsImage(tandrel::fuzz::rawBytes(data, size));
    (void)image.isNull();
    return 0;
}
