#include "model/desktop/DesktopExec.h"

#include <glib.h>

namespace tandrel {
namespace {

// Exec values are one line; a longer one is not worth parsing (and may be planted).
constexpr qsizetype maxExecLength = 16 * 1024;

bool isEnv(const QString &word)
{
    return word == QLatin1String("env") || word.endsWith(QLatin1String("/env"));
}

bool isAssignment(const QString &word)
{
    const qsizetype equals = word.indexOf(QLatin1Char('='));
    return equals > 0 && !word.startsWith(QLatin1Char('-'));
}

// env's options that take the next word as their value.
bool takesValue(const QString &option)
{
    return option == QLatin1String("-u") || option == QLatin1String("--unset")
        || option == QLatin1String("-C") || option == QLatin1String("--chdir")
        || option == QLatin1String("-S") || option == QLatin1String("--split-string");
}

QString baseName(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

} // namespace

std::optional<QStringList> execWords(const QString &exec)
{
    if (exec.size() > maxExecLength)
        return std::nullopt;
    gint count = 0;
    gchar **argv = nullptr;
    if (!g_shell_parse_argv(exec.toUtf8().constData(), &count, &argv, nullptr))
        return std::nullopt;
    QStringList words;
    for (gint i = 0; i < count; ++i)
        words << QString::fromUtf8(argv[i]);
    g_strfreev(argv);
    return words.isEmpty() ? std::nullopt : std::optional(words);
}

std::optional<qsizetype> programIndex(const QStringList &words)
{
    qsizetype i = 0;
    if (!words.isEmpty() && isEnv(words.first())) {
        for (i = 1; i < words.size(); ++i) {
            const QString &word = words[i];
            if (word == QLatin1String("--")) {
                ++i;
                break;
            }
            if (takesValue(word))
                ++i;
            else if (!word.startsWith(QLatin1Char('-')) && !isAssignment(word))
                break;
        }
    }
    return i < words.size() ? std::optional(i) : std::nullopt;
}

QString quotedExecWord(const QString &word)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    const bool needsQuotes = word.isEmpty()
        || std::any_of(word.cbegin(), word.cend(), [](QChar c) { return reserved.contains(c); });
    if (!needsQuotes)
        return word;
    QString quoted = QStringLiteral("\"");
    for (const QChar c : word) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    return quoted + QLatin1Char('"');
}

QString literalExecWord(const QString &text)
{
    return quotedExecWord(QString(text).replace(QLatin1Char('%'), QStringLiteral("%%")));
}

bool execTakesUris(const QString &exec)
{
    for (qsizetype i = 0; i + 1 < exec.size(); ++i) {
        if (exec[i] != QLatin1Char('%'))
            continue;
        const QChar code = exec[++i]; // "%%" is a percent sign, skipped whole
        if (code == QLatin1Char('u') || code == QLatin1Char('U'))
            return true;
    }
    return false;
}

QString execProgram(const QString &exec)
{
    const std::optional<QStringList> words = execWords(exec);
    const std::optional<qsizetype> index = words ? programIndex(*words) : std::nullopt;
    return index ? words->at(*index) : QString();
}

QString resolveExecProgram(const QString &exec)
{
    const QString program = execProgram(exec);
    if (program.isEmpty())
        return {};
    gchar *found = g_find_program_in_path(program.toUtf8().constData());
    const QString path = QString::fromUtf8(found);
    g_free(found);
    return path;
}

SandboxKind execSandboxKind(const QString &exec, const QString &resolved)
{
    const QString program = execProgram(exec);
    if (baseName(program) == QLatin1String("flatpak") || baseName(resolved) == QLatin1String("flatpak"))
        return SandboxKind::Flatpak;
    if (program.startsWith(QLatin1String("/snap/bin/")) || resolved.startsWith(QLatin1String("/snap/bin/")))
        return SandboxKind::Snap;
    return SandboxKind::None;
}

} // namespace tandrel
