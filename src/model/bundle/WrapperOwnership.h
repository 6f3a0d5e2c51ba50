#pragma once

#include <QString>

#include <optional>

namespace tandrel {

// How Tandrel recognises the wrappers it made. Nothing is ever removed without passing these.

// "io.tandrel.space." followed by the instance id: the wrapper's bundle identifier.
QString wrapperIdentifier(const QString &instanceId);
// The instance id a wrapper's bundle identifier carries, when it is one of ours.
std::optional<QString> instanceIdFromIdentifier(const QString &identifier);

// The instance id a wrapper bundle's Info.plist names, when the bundle is a real folder
// (not a link) with Tandrel's identifier.
std::optional<QString> wrapperInstanceId(const QString &wrapperPath);

// A wrapper that an earlier release's creation left half-made before writing its
// Info.plist: real folders holding nothing but Contents/MacOS, Contents/Resources, the
// icon and the Info.plist under the atomic writer's temporary name.
bool isWrapperSkeleton(const QString &wrapperPath);

} // namespace tandrel
