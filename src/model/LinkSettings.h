#pragma once

#include "model/LinkRules.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace tandrel {

// What is kept for links: the rules (links.json beside the settings), the targets in the
// order last used and the schemes the user routes besides http and https (the settings).
// Both files are the user's, and may have been edited or planted: what is read is bounded
// and checked, and a malformed entry is left out rather than trusted.
QList<LinkRule> storedLinkRules();
// The rules in the file's text: well-formed ones only, the first for each site.
QList<LinkRule> parseLinkRules(const QByteArray &json);
// Replaces the rules file in one step. The caller holds the operation lock (Store); throws
// FileSystemError when it cannot be written (a full disk), leaving the old one.
void storeLinkRules(const QList<LinkRule> &rules);

QStringList recentLinkTargets();
// Moves the target to the front of the recent ones.
void noteLinkTargetUsed(const QString &target);

// Schemes such as "mailto" are not web links; only what the user lists here (in the
// settings, "links/schemes") is routed besides http and https.
QStringList extraLinkSchemes();

} // namespace tandrel
