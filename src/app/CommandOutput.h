#pragma once

#include "model/SpaceInfo.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <optional>

namespace tandrel {
class Store;

// What the command line's commands share: their output, their errors and how they find
// what their operands name.
namespace cli {

void write(std::FILE *stream, const QString &text);
// A line on standard output.
void out(const QString &line);
// A refusal or failure: the same message the window shows, after "tandrel: "; gives 1.
int failed(const QString &message);
// A usage error with the hint to --help; gives 2.
int usageError(const QString &message);
QString quoted(const QString &text);
// Columns padded to their widest cell, two blanks apart; the last one is not padded.
void printAligned(const QList<QStringList> &rows);

// A member of a flat JSON object: text, a Boolean, or null.
struct Member
{
    const char *key;
    std::optional<QString> text;
    std::optional<bool> flag = std::nullopt;
    std::optional<QString> json = std::nullopt; // written as it is
};

QString jsonString(const QString &text);
// One JSON document: a list of flat objects, indented, members in the order given.
void printJson(const QList<QList<Member>> &objects);

QString plainAbsolute(const QString &path);
// The instance named by its id, its name or its launcher's path.
std::optional<SpaceInfo> findSpace(const Store &store, const QString &wanted);

} // namespace cli
} // namespace tandrel
