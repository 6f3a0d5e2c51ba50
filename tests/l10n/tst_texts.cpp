// The catalogue of every text pair the system shows (texts.tsv), checked once, here, against
// the sources: each tandrel::tr call in src/ is read (its Spanish and English arguments, string
// literals joined, "{}" for every part filled in at run time) and the set of pairs must be
// exactly the catalogue. A changed, misspelt, new or dropped text fails this test; the other
// tests check texts by their properties only.
// Inside a QObject subclass an unqualified tr("es", "en") binds to QObject::tr and silently
// shows the Spanish text whatever the language: no source may call it bare.
#include "support/TestEnvironment.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

namespace {

using Pair = std::pair<QString, QString>;

// Spanish, English: every text pair of the interface, from texts.tsv beside this file.
QList<Pair> catalogue()
{
    QFile file(QStringLiteral(TANDREL_SOURCE_DIR "/tests/l10n/texts.tsv"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const auto decoded = [](const QString &text) {
        QString result;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text[i] == QLatin1Char('\\') && i + 1 < text.size() ? text[++i] : QChar();
            result += c.isNull()        ? text[i]
                : c == QLatin1Char('n') ? QChar(u'\n')
                : c == QLatin1Char('t') ? QChar(u'\t')
                                        : c;
        }
        return result;
    };
    QList<Pair> pairs;
    for (const QString &line :
        QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList columns = line.split(QLatin1Char('\t'));
        if (!line.startsWith(QLatin1Char('#')) && columns.size() == 2)
            pairs.append({ decoded(columns[0]), decoded(columns[1]) });
    }
    return pairs;
}

// One or more adjacent string literals from `i` (at a '"'), escapes decoded; `i` ends after them.
QString literalAt(QStringView code, qsizetype &i)
{
    QString text;
    while (i < code.size() && code[i] == QLatin1Char('"')) {
        for (++i; i < code.size() && code[i] != QLatin1Char('"'); ++i) {
            if (code[i] == QLatin1Char('\\') && i + 1 < code.size()) {
                const QChar escaped = code[++i];
                text += escaped == QLatin1Char('n') ? QChar(u'\n')
                    : escaped == QLatin1Char('t')   ? QChar(u'\t')
                                                    : escaped;
            } else {
                text += code[i];
            }
        }
        ++i;
        while (i < code.size() && code[i].isSpace())
            ++i;
    }
    return text;
}

// The text of one argument: the literals of its '+'-joined parts, "{}" for any other part.
QString argumentText(QStringView argument)
{
    QString text;
    qsizetype i = 0;
    const auto skipSpace = [&] {
        while (i < argument.size() && argument[i].isSpace())
            ++i;
    };
    for (skipSpace(); i < argument.size(); skipSpace()) {
        bool literal = false;
        for (const QStringView wrapper : { u"QStringLiteral(", u"QLatin1String(", u"QString(" }) {
            qsizetype quote = i + wrapper.size();
            while (quote < argument.size() && argument[quote].isSpace())
                ++quote;
            if (argument.mid(i).startsWith(wrapper) && argument.mid(quote).startsWith(u"\"")) {
                i = quote;
                text += literalAt(argument, i);
                literal = true;
                ++i; // the wrapper's ')'
                break;
            }
        }
        if (!literal && argument.mid(i).startsWith(u"QLatin1Char('") && i + 15 < argument.size()
            && argument[i + 14] == QLatin1Char('\'')) {
            text += argument[i + 13]; // a character literal: the text's own punctuation
            i += 16;
            literal = true;
        }
        if (!literal && argument[i] == QLatin1Char('"')) {
            text += literalAt(argument, i);
            literal = true;
        }
        if (!literal) {
            for (int depth = 0; i < argument.size(); ++i) {
                const QChar c = argument[i];
                if (c == QLatin1Char('"'))
                    literalAt(argument, i), --i;
                else if (c == QLatin1Char('('))
                    ++depth;
                else if (c == QLatin1Char(')'))
                    --depth;
                else if (c == QLatin1Char('+') && depth == 0)
                    break;
            }
            text += QStringLiteral("{}");
        }
        skipSpace();
        if (i < argument.size() && argument[i] == QLatin1Char('+'))
            ++i;
    }
    return text;
}

// The two arguments of every tandrel::tr call in a source file.
QList<Pair> pairsIn(const QString &source)
{
    QList<Pair> pairs;
    static const QString call = QStringLiteral("tandrel::tr(");
    for (qsizetype at = source.indexOf(call); at >= 0; at = source.indexOf(call, at + 1)) {
        qsizetype i = at + call.size();
        int depth = 0;
        QList<qsizetype> commas;
        for (; i < source.size(); ++i) {
            const QChar c = source[i];
            if (c == QLatin1Char('"')) {
                for (++i; i < source.size() && source[i] != QLatin1Char('"'); ++i)
                    if (source[i] == QLatin1Char('\\'))
                        ++i;
            } else if (c == QLatin1Char('(')) {
                ++depth;
            } else if (c == QLatin1Char(')')) {
                if (depth-- == 0)
                    break;
            } else if (c == QLatin1Char(',') && depth == 0) {
                commas << i;
            }
        }
        if (commas.size() != 1)
            continue; // the declaration, or not a call with two texts
        const qsizetype start = at + call.size();
        pairs.append({ argumentText(QStringView(source).mid(start, commas[0] - start)),
            argumentText(QStringView(source).mid(commas[0] + 1, i - commas[0] - 1)) });
    }
    return pairs;
}

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

// The pair as a line of texts.tsv.
QString show(const Pair &pair)
{
    const auto encoded = [](QString text) {
        return text.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
            .replace(QLatin1Char('\n'), QLatin1String("\\n"))
            .replace(QLatin1Char('\t'), QLatin1String("\\t"));
    };
    return encoded(pair.first) + QLatin1Char('\t') + encoded(pair.second);
}

} // namespace

class TextsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void sources_showExactlyTheCatalogueAndCallTrQualified()
    {
        QSet<Pair> found;
        QStringList bare;
        for (const char *folder : { "src", "tests" }) {
            QDirIterator it(QStringLiteral(TANDREL_SOURCE_DIR "/") + QLatin1String(folder),
                { QStringLiteral("*.cpp"), QStringLiteral("*.h"), QStringLiteral("*.mm") }, QDir::Files,
                QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString path = it.next();
                QFile file(path);
                QVERIFY(file.open(QIODevice::ReadOnly));
                const QString source = QString::fromUtf8(file.readAll());
                // The one definition of tandrel::tr, and this file's own samples.
                if (!path.endsWith(QLatin1String("/l10n/Tr.h"))
                    && !path.endsWith(QLatin1String("/l10n/Tr.cpp"))
                    && !path.endsWith(QLatin1String("/tst_texts.cpp")))
                    for (const QString &hit : unqualifiedTrCalls(source))
                        bare << path + QLatin1Char(':') + hit;
                if (qstrcmp(folder, "src") != 0)
                    continue;
                for (const Pair &pair : pairsIn(source)) {
                    if (pair.first != QLatin1String("{}") || pair.second != QLatin1String("{}"))
                        found.insert(pair);
                }
            }
        }
        QVERIFY2(bare.isEmpty(), qPrintable(bare.join(QLatin1Char('\n'))));
        const QList<Pair> pairs = catalogue();
        QVERIFY(pairs.size() > 50);
        const QSet<Pair> expected(pairs.cbegin(), pairs.cend());
        QStringList problems;
        for (const Pair &pair : found - expected)
            problems << QStringLiteral("not in the catalogue: ") + show(pair);
        for (const Pair &pair : expected - found)
            problems << QStringLiteral("not in the sources:   ") + show(pair);
        problems.sort();
        for (const QString &problem : std::as_const(problems))
            qWarning("%s", qPrintable(problem));
        QVERIFY2(problems.isEmpty(), "the sources and the catalogue differ (listed above)");
    }

    void catalogue_pairsDiffer()
    {
        // A pair whose two texts are equal is a text that was not translated, except names.
        for (const Pair &pair : catalogue())
            QVERIFY2(pair.first != pair.second || pair.first.startsWith(QLatin1String("Tandrel")),
                qPrintable(pair.first));
    }
};

TANDREL_TEST_MAIN(TextsTest)
#include "tst_texts.moc"
