#include "model/Staging.h"

#include "model/InstanceId.h"
#include "model/Removal.h"
#include "platform/FileSystem.h"

#include <QRegularExpression>

namespace tandrel {

QString stagedPath(const QString &folder, const QString &id, Stage stage)
{
    return folder + QStringLiteral("/.tandrel-") + id
        + (stage == Stage::New ? QStringLiteral(".new") : QStringLiteral(".gone"));
}

namespace {

const QRegularExpression &stagedPattern()
{
    static const QRegularExpression pattern(QStringLiteral("^\\.tandrel-(.{36})\\.(new|gone)$"));
    return pattern;
}

bool isTemporaryName(const QString &name)
{
    // Only of names Tandrel chooses: "tandrel-…" or ".tandrel-…".
    static const QRegularExpression pattern(
        QStringLiteral("^\\.?tandrel-.+\\.tandrel-[0-9]{1,10}-[0-9]{1,10}$"));
    return pattern.match(name).hasMatch();
}

} // namespace

QList<StagedItem> stagedItems(const QString &folder)
{
    QList<StagedItem> items;
    for (const QString &entry : entriesOf(folder)) {
        const QString name = entry.mid(entry.lastIndexOf(QLatin1Char('/')) + 1);
        const QRegularExpressionMatch match = stagedPattern().match(name);
        if (match.hasMatch() && isInstanceId(match.captured(1)))
            items.append({ entry, match.captured(1),
                match.captured(2) == QLatin1String("new") ? Stage::New : Stage::Gone });
        else if (isTemporaryName(name) && fs::itemKind(entry) == fs::ItemKind::File)
            items.append({ entry, QString(), Stage::New });
    }
    return items;
}

void removeStaged(const QString &path)
{
    try {
        if (fs::itemKind(path) != fs::ItemKind::Missing)
            fs::removeItem(path);
    } catch (const FileSystemError &) {
        // Its name is one recovery recognises.
    }
}

bool isStagedName(const QString &fileName)
{
    const QRegularExpressionMatch match = stagedPattern().match(fileName);
    return match.hasMatch() && isInstanceId(match.captured(1));
}

} // namespace tandrel
