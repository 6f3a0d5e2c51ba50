#pragma once

#include <QStringList>

namespace tandrel {
class Store;
struct SpaceInfo;

// "tandrel links list [--json]", "links add SITE TARGET [--exact]", "links remove SITE" and
// "links handler [on|off]". TARGET is an instance (as the other commands name one) or an
// app that opens links (by name or path).
int linksCommand(Store &store, const QStringList &operands, bool json, bool exact);
// "tandrel open INSTANCE URL…": the links opened in the instance.
int openLinksCommand(Store &store, const SpaceInfo &space, const QStringList &links);

// What "tandrel route URL" gives when no rule matches and a display is there: main then
// asks with the chooser (askAndRoute) in a GUI application.
inline constexpr int routeNeedsChooser = 100;
// Opens the link where the rules say. Without a rule: routeNeedsChooser with a display,
// else 1 with a message. The link is never printed.
int routeCommand(Store &store, const QString &link);
// The chooser's half: asks where to open the link (remembering a rule when asked to) and
// opens it there. 1 when the user closes the chooser. Needs the GUI application.
int askAndRoute(const QString &link);
// Both halves in the running application: where links arrive as events (macOS hands them
// to the default handler's process rather than to a command).
void routeInApp(const QString &link);

} // namespace tandrel
