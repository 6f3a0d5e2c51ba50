#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace tandrel {

// The Exec value of a desktop entry split into its words, quoting removed the way GIO
// removes it when it launches the entry. Field codes ("%U", "%%") are left as written.
// Nothing when the value does not parse, is blank, or is absurdly long.
std::optional<QStringList> execWords(const QString &exec);

// The index of the program among the words: the first one after an `env` prefix with
// its options and VAR=value assignments. Nothing when there is no such word.
std::optional<qsizetype> programIndex(const QStringList &words);

// One word as the Exec value needs it: double-quoted when it holds a reserved character,
// with `"`, `` ` ``, `$` and `\` escaped inside the quotes. Field codes are not touched;
// use literalExecWord for text that must reach the program unchanged.
QString quotedExecWord(const QString &word);
// Plain text made a word: every "%" doubled (a literal percent sign), then quoted.
QString literalExecWord(const QString &text);

// Whether the command takes addresses: it holds the field code %u or %U.
bool execTakesUris(const QString &exec);

// The program the Exec value starts (after an `env` prefix), as written.
QString execProgram(const QString &exec);
// That program looked up on PATH the way GIO does; empty when it is not found.
QString resolveExecProgram(const QString &exec);

enum class SandboxKind { None, Flatpak, Snap };

// The sandbox the command starts its app in: Flatpak when its program (after any `env`
// prefix) is flatpak, as in "flatpak run …", or resolves to it; Snap when the program is
// under /snap/bin. `resolved` is the program as found on PATH, when known.
SandboxKind execSandboxKind(const QString &exec, const QString &resolved = {});

} // namespace tandrel
