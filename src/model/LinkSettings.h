#pragma once

#include "model/LinkRules.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace tandrel {

// What the settings keep for links: the rules, the targets in the order last used and the
// schemes the user routes besides http and https. The settings file is the user's, and may
// have been edited or planted: what is read is bounded and checked, and a malformed entry
// is left out rather than trusted. Writers hold the operation lock (Store).
QList<LinkRule> storedLinkRules();
void storeLinkRules(const QList<LinkRule> &rules);

QStringList recentLinkTargets();
// Moves the target to the front of the recent ones.
void noteLinkTargetUsed(const QString &target);

// Schemes such as "mailto" are not web links; only what the user lists here (in the
// settings, "links/schemes") is routed besides http and https.
QStringList extraLinkSchemes();

} // namespace tandrel
