#include "app/About.h"

#include "l10n/Tr.h"
#include "ui/Style.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

namespace tandrel {

QDialog *makeAboutDialog(const AboutInfo &info, QWidget *parent)
{
    auto *dialog = new QDialog(parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(tandrel::tr(QStringLiteral("Acerca de Tandrel"), QStringLiteral("About Tandrel")));
    auto *column = new QVBoxLayout(dialog);
    column->setContentsMargins(32, 24, 32, 20);
    column->setSpacing(8);

    auto *icon = new QLabel(dialog);
    icon->setObjectName(QStringLiteral("icon"));
    if (!info.icon.isNull()) {
        icon->setPixmap(style::iconPixmap(info.icon, 64, dialog->devicePixelRatioF()));
    }
    column->addWidget(icon, 0, Qt::AlignHCenter);

    auto *name = new QLabel(info.name, dialog);
    name->setObjectName(QStringLiteral("name"));
    name->setFont(style::font(14, QFont::Bold));
    column->addWidget(name, 0, Qt::AlignHCenter);

    auto *version
        = new QLabel(tandrel::tr(QStringLiteral("Versión %1 (%2)"), QStringLiteral("Version %1 (%2)"))
                         .arg(info.version, info.build),
            dialog);
    version->setObjectName(QStringLiteral("version"));
    version->setFont(style::font(11));
    column->addWidget(version, 0, Qt::AlignHCenter);

    // Centred, dimmed, 11.5 points, with 3 points between the lines.
    auto *credits = new QLabel(dialog);
    credits->setObjectName(QStringLiteral("credits"));
    credits->setTextFormat(Qt::RichText);
    credits->setAlignment(Qt::AlignCenter);
    credits->setFont(style::font(11.5));
    style::setTextColor(credits, style::secondaryText(credits->palette()));
    credits->setText(
        QStringLiteral("<div style=\"line-height: %1px\">%2</div>")
            .arg(QFontMetrics(credits->font()).lineSpacing() + 3)
            .arg(info.credits.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>"))));
    credits->setAccessibleName(info.credits);
    column->addSpacing(6);
    column->addWidget(credits, 0, Qt::AlignHCenter);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    column->addSpacing(8);
    column->addWidget(buttons);
    dialog->setFixedSize(dialog->sizeHint().expandedTo(QSize(280, 0)));
    return dialog;
}

} // namespace tandrel
