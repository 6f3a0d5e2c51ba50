#include "app/CommandOutput.h"

#include "l10n/Tr.h"
#include "model/Store.h"

#include <QDir>
#include <QFileInfo>

namespace tandrel::cli {

void write(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

void out(const QString &line)
{
    write(stdout, line + QLatin1Char('\n'));
}

// A refusal or failure: the same message the window shows.
int failed(const QString &message)
{
    write(stderr, QStringLiteral("tandrel: ") + message + QLatin1Char('\n'));
    return 1;
}

int usageError(const QString &message)
{
    write(stderr,
        QStringLiteral("tandrel: ") + message + QLatin1Char('\n')
            + tandrel::tr(
                QStringLiteral("Prueba \"tandrel --help\"."), QStringLiteral("Try \"tandrel --help\"."))
            + QLatin1Char('\n'));
    return 2;
}

QString quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// Columns padded to their widest cell, two blanks apart; the last one is not padded.
void printAligned(const QList<QStringList> &rows)
{
    QList<qsizetype> widths;
    for (const QStringList &row : rows) {
        for (qsizetype i = 0; i < row.size(); ++i) {
            if (widths.size() <= i)
                widths.append(0);
            widths[i] = qMax(widths[i], row[i].size());
        }
    }
    for (const QStringList &row : rows) {
        QString line;
        for (qsizetype i = 0; i < row.size(); ++i)
            line += i + 1 < row.size() ? row[i].leftJustified(widths[i] + 2) : row[i];
        out(line);
    }
}

QString jsonString(const QString &text)
{
    QString escaped = QStringLiteral("\"");
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"':
            escaped += QStringLiteral("\\\"");
            break;
        case '\\':
            escaped += QStringLiteral("\\\\");
            break;
        case '\n':
            escaped += QStringLiteral("\\n");
            break;
        case '\r':
            escaped += QStringLiteral("\\r");
            break;
        case '\t':
            escaped += QStringLiteral("\\t");
            break;
        default:
            if (c.unicode() < 0x20)
                escaped += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                escaped += c;
        }
    }
    return escaped + QLatin1Char('"');
}

// One JSON document: a list of flat objects, indented, members in the order given. Written
// here rather than through QJsonDocument, which spends more on a thousand apps than
// reading them does.
void printJson(const QList<QList<Member>> &objects)
{
    QString text = QStringLiteral("[");
    for (qsizetype i = 0; i < objects.size(); ++i) {
        text += i ? QStringLiteral(",\n    {") : QStringLiteral("\n    {");
        const QList<Member> &members = objects[i];
        for (qsizetype m = 0; m < members.size(); ++m) {
            const Member &member = members[m];
            text += QStringLiteral("\n        \"") + QLatin1String(member.key) + QStringLiteral("\": ");
            text += member.json ? *member.json
                : member.flag   ? (*member.flag ? QStringLiteral("true") : QStringLiteral("false"))
                : member.text   ? jsonString(*member.text)
                                : QStringLiteral("null");
            if (m + 1 < members.size())
                text += QLatin1Char(',');
        }
        text += QStringLiteral("\n    }");
    }
    text += objects.isEmpty() ? QStringLiteral("]\n") : QStringLiteral("\n]\n");
    write(stdout, text);
}

QString plainAbsolute(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

std::optional<SpaceInfo> findSpace(const Store &store, const QString &wanted)
{
    const QString path = plainAbsolute(wanted);
    for (const SpaceInfo &space : store.spaces()) {
        if (space.instanceId == wanted || space.name == wanted || space.id() == path)
            return space;
    }
    return std::nullopt;
}

} // namespace tandrel::cli
