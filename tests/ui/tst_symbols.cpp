#include "support/TestEnvironment.h"
#include "ui/Symbols.h"

#include <QApplication>
#include <QPalette>

using namespace tandrel;

Q_DECLARE_METATYPE(tandrel::Symbol)

namespace {

const QList<QPair<const char *, Symbol>> allSymbols = {
    {"Globe", Symbol::Globe},   {"ArrowClockwise", Symbol::ArrowClockwise},
    {"MagnifyingGlass", Symbol::MagnifyingGlass}, {"LockFill", Symbol::LockFill},
    {"OpenApp", Symbol::OpenApp}, {"Folder", Symbol::Folder}, {"Trash", Symbol::Trash},
};

// What a symbol left on its pixmap: how many pixels it touched, where, and the colours of
// the fully covered ones (antialiased edges blend with transparency, so they are left out).
struct Ink
{
    int pixels = 0;
    QRect bounds;
    QSet<QRgb> solidColours;
};

Ink inkOf(const QPixmap &pixmap)
{
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    Ink ink;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qAlpha(pixel) == 0)
                continue;
            ++ink.pixels;
            ink.bounds |= QRect(x, y, 1, 1);
            if (qAlpha(pixel) == 255)
                ink.solidColours.insert(pixel);
        }
    }
    return ink;
}

// Where antialiased strokes overlap, blending may round a channel by one.
bool sameColour(QRgb a, QRgb b)
{
    return qAbs(qRed(a) - qRed(b)) <= 1 && qAbs(qGreen(a) - qGreen(b)) <= 1 && qAbs(qBlue(a) - qBlue(b)) <= 1;
}

} // namespace

class SymbolsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // symbolPixmap

    void pixmap_drawsInColourCentredAtSizeAndRatio_data()
    {
        QTest::addColumn<Symbol>("symbol");
        QTest::addColumn<qreal>("pointSize");
        QTest::addColumn<qreal>("ratio");
        for (const auto &[name, symbol] : allSymbols) {
            QTest::addRow("%s 16 @1x", name) << symbol << 16.0 << 1.0;
            QTest::addRow("%s 16 @2x", name) << symbol << 16.0 << 2.0;
            QTest::addRow("%s 64 @1x", name) << symbol << 64.0 << 1.0;
            QTest::addRow("%s 13 @1.5x", name) << symbol << 13.0 << 1.5;
        }
    }
    void pixmap_drawsInColourCentredAtSizeAndRatio()
    {
        QFETCH(Symbol, symbol);
        QFETCH(qreal, pointSize);
        QFETCH(qreal, ratio);
        const QColor colour(0x12, 0x80, 0xe0);
        const QPixmap pixmap = symbolPixmap(symbol, colour, pointSize, ratio);

        const int side = qRound(pointSize * ratio);
        QCOMPARE(pixmap.size(), QSize(side, side));
        QCOMPARE(pixmap.devicePixelRatio(), ratio);

        const Ink ink = inkOf(pixmap);
        QVERIFY2(ink.pixels > side * side / 10, "too little drawn");
        QVERIFY2(ink.pixels < side * side * 3 / 4, "looks like a filled square");
        QVERIFY(!ink.solidColours.isEmpty());
        for (const QRgb solid : ink.solidColours)
            QVERIFY2(sameColour(solid, colour.rgb()), qPrintable(QColor(solid).name()));
        // Spread over the square and centred in it: drawn at the wrong scale it would fill
        // a corner or spill over the edges.
        QVERIFY2(qMax(ink.bounds.width(), ink.bounds.height()) >= side * 2 / 3
                     && qMin(ink.bounds.width(), ink.bounds.height()) >= side / 2,
                 qPrintable(QStringLiteral("ink only in %1 x %2").arg(ink.bounds.width()).arg(ink.bounds.height())));
        const QPointF offCentre = QRectF(ink.bounds).center() - QPointF(side / 2.0, side / 2.0);
        QVERIFY(qAbs(offCentre.x()) <= side * 0.1 && qAbs(offCentre.y()) <= side * 0.1);
    }

    void pixmap_eachSymbolIsItsOwn()
    {
        QList<QImage> seen;
        for (const auto &[name, symbol] : allSymbols) {
            const QImage image = symbolPixmap(symbol, Qt::black, 32).toImage();
            QVERIFY2(!seen.contains(image), name);
            seen.append(image);
        }
    }

    // symbolIcon

    void icon_paintsInThePaletteColourOfEachMode_data()
    {
        QTest::addColumn<QIcon::Mode>("mode");
        QTest::addColumn<QColor>("expected");
        QTest::newRow("normal") << QIcon::Normal << QColor(0x20, 0x40, 0x60);
        QTest::newRow("active") << QIcon::Active << QColor(0x20, 0x40, 0x60);
        QTest::newRow("disabled") << QIcon::Disabled << QColor(0xa0, 0xa0, 0xa0);
        QTest::newRow("selected") << QIcon::Selected << QColor(0xff, 0xf0, 0x10);
    }
    void icon_paintsInThePaletteColourOfEachMode()
    {
        QFETCH(QIcon::Mode, mode);
        QFETCH(QColor, expected);
        // Made before the palette changes: the icon must pick up the palette in force.
        const QIcon icon = symbolIcon(Symbol::Folder, 16);
        const QPalette original = QApplication::palette();
        QPalette palette = original;
        palette.setColor(QPalette::Active, QPalette::ButtonText, QColor(0x20, 0x40, 0x60));
        palette.setColor(QPalette::Inactive, QPalette::ButtonText, QColor(0x20, 0x40, 0x60));
        palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0xa0, 0xa0, 0xa0));
        palette.setColor(QPalette::Active, QPalette::HighlightedText, QColor(0xff, 0xf0, 0x10));
        QApplication::setPalette(palette);
        const Ink ink = inkOf(icon.pixmap(QSize(32, 32), 1.0, mode));
        QApplication::setPalette(original);

        QVERIFY(!ink.solidColours.isEmpty());
        for (const QRgb solid : ink.solidColours)
            QVERIFY2(sameColour(solid, expected.rgb()), qPrintable(QColor(solid).name()));
    }

    void icon_drawsSharpAtHighDevicePixelRatio()
    {
        const QIcon icon = symbolIcon(Symbol::Globe, 16);
        QCOMPARE(icon.availableSizes(), QList<QSize>{QSize(16, 16)});
        const QPixmap twice = icon.pixmap(QSize(16, 16), 2.0);
        QCOMPARE(twice.size(), QSize(32, 32));
        QCOMPARE(twice.devicePixelRatio(), 2.0);
        // Drawn at 32 device pixels, not a 16-pixel image scaled up.
        const QColor text = QApplication::palette().color(QPalette::Active, QPalette::ButtonText);
        QCOMPARE(twice.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
                 symbolPixmap(Symbol::Globe, text, 16, 2).toImage().convertToFormat(
                     QImage::Format_ARGB32_Premultiplied));
    }
};

TANDREL_WIDGETS_TEST_MAIN(SymbolsTest)
#include "tst_symbols.moc"
