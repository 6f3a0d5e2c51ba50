// WCAG 2 contrast of every text and focus ring the window paints in its own colours, in a
// light and a dark palette: 4.5:1 for text, 3:1 for the parts of controls. Colours are read
// from the widgets where they hold them; ratios are computed here from the definition.
#include "model/Store.h"
#include "support/RecordingWorkspace.h"
#include "support/TestEnvironment.h"
#include "ui/AppsSection.h"
#include "ui/CreateSheet.h"
#include "ui/ElidedLabel.h"
#include "ui/SearchField.h"
#include "ui/SpaceRow.h"
#include "ui/Style.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

#include <cmath>

using namespace tandrel;

namespace {

qreal luminance(const QColor &color)
{
    const auto linear = [](qreal c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(color.redF()) + 0.7152 * linear(color.greenF()) + 0.0722 * linear(color.blueF());
}

// A translucent colour as it shows over an opaque one.
QColor over(const QColor &top, const QColor &bottom)
{
    const qreal a = top.alphaF();
    return QColor::fromRgbF(top.redF() * a + bottom.redF() * (1 - a),
        top.greenF() * a + bottom.greenF() * (1 - a), top.blueF() * a + bottom.blueF() * (1 - a));
}

qreal ratio(const QColor &text, const QColor &background)
{
    const qreal a = luminance(over(text, background)), b = luminance(background);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

// The dark palette desktops commonly give the Fusion style.
QPalette darkPalette(QPalette dark)
{
    for (const auto role : { QPalette::Window, QPalette::Button })
        dark.setColor(role, QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::Base, QColor(0x2a, 0x2a, 0x2a));
    for (const auto role :
        { QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::HighlightedText })
        dark.setColor(role, Qt::white);
    dark.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
    return dark;
}

} // namespace

class ContrastTest : public QObject
{
    Q_OBJECT
    test::RecordingWorkspace m_workspace;

private Q_SLOTS:
    void initTestCase() { m_workspace.install(); }

    void colours_data()
    {
        QTest::addColumn<QColor>("text");
        QTest::addColumn<QColor>("background");
        QTest::addColumn<qreal>("minimum");
        Store store(QStringList {}, nullptr, Store::Start::Idle);
        const QUrl app = QUrl::fromLocalFile(test::isolatedHome() + QStringLiteral("/Mail.app"));
        const QPalette light = QApplication::style()->standardPalette();
        for (const auto &[name, palette] :
            { std::pair { "light", light }, std::pair { "dark", darkPalette(light) } }) {
            SpaceRow row(
                { app, QStringLiteral("Mail - Work"), app.toLocalFile(), std::nullopt, std::nullopt },
                &store);
            CreateSheet sheet(InstalledApp { app }, &store);
            AppsSection apps;
            SearchField search;
            for (QWidget *widget : std::initializer_list<QWidget *> { &row, &sheet, &apps, &search })
                widget->setPalette(palette);
            const auto text
                = [](const QWidget *widget) { return widget->palette().color(QPalette::WindowText); };
            const auto add
                = [name = name](const QString &what, const QColor &fore, const QColor &back, qreal minimum) {
                      QTest::addRow("%s, %s", name, qPrintable(what)) << fore << back << minimum;
                  };
            const QColor window = palette.color(QPalette::Window), ring = style::focusRing(palette);
            const QColor ink = style::primaryText(palette);
            // The backdrop's gradient runs from a touch lighter to a touch darker than the window.
            for (const QColor &backdrop : { window.lighter(104), window.darker(102) }) {
                const auto on = [&](const char *what) {
                    return backdrop.name() + QLatin1Char(' ') + QLatin1String(what);
                };
                const auto grey
                    = [&](qreal opacity) { return over(style::withAlpha(ink, opacity), backdrop); };
                const auto orange = [&](qreal opacity) {
                    return over(style::withAlpha(style::orange(), opacity), backdrop);
                };
                add(on("a hint"), text(apps.noMatchHint()), backdrop, 4.5);
                add(on("instance target on a hovered row"), text(row.targetLabel()),
                    grey(style::tint::rowHovered), 4.5);
                add(on("search placeholder"), search.lineEdit()->palette().color(QPalette::PlaceholderText),
                    grey(style::tint::field), 4.5);
                add(on("sandbox explanation"), text(apps.explanation()), orange(style::tint::explanation),
                    4.5);
                add(on("not-duplicable badge"), style::sandboxText(palette), orange(style::tint::badge), 4.5);
                add(on("focus ring"), ring, backdrop, 3.0);
                add(on("focus ring on a hovered card"), ring, grey(style::tint::card), 3.0);
            }
            add(QStringLiteral("sandbox warning in the sheet"),
                text(sheet.sandboxWarning()->findChildren<QLabel *>().last()),
                over(style::withAlpha(style::orange(), style::tint::warning), window), 4.5);
            add(QStringLiteral("sheet error"), text(sheet.errorLabel()), window, 4.5);
            // A style may paint a button's face lighter than its role, the more so when hovered.
            for (const QColor &face :
                { palette.color(QPalette::Button), palette.color(QPalette::Button).lighter(130),
                    palette.color(QPalette::Button).lighter(170) })
                add(face.name() + QStringLiteral(" delete button"),
                    row.deleteButton()->palette().color(QPalette::ButtonText), face, 4.5);
            // The prominent button's fill as it is painted, under its text and focus ring.
            const QImage open = row.openButton()->grab().toImage();
            add(QStringLiteral("prominent button"), style::onAccent(), open.pixelColor(4, open.height() / 2),
                4.5);
        }
    }
    void colours()
    {
        QFETCH(QColor, text);
        QFETCH(QColor, background);
        QFETCH(qreal, minimum);
        const qreal measured = ratio(text, background);
        QVERIFY2(measured >= minimum, qPrintable(QString::number(measured, 'f', 2) + QStringLiteral(":1")));
    }
};

TANDREL_WIDGETS_TEST_MAIN(ContrastTest)
#include "tst_contrast.moc"
