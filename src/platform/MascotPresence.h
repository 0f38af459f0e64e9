#pragma once
// Whether the desktop mascot's server runs.
#include <QByteArray>

#include <optional>

namespace zek::platform {

// The file a running mascot server holds an exclusive flock on:
// $HOME/.ninix/.lock, with $HOME read at every call.
QByteArray mascotLockPath();

// True while the mascot server runs: its lock file exists and an exclusive
// flock on it is held. Cheap when no server runs (one stat of a missing file).
bool mascotServerPresent();

// True when `path` exists and some process holds an exclusive flock on it.
// Looks the file up in /proc/locks rather than probing with flock() itself,
// so a server starting at this very moment can never find its lock taken.
bool fileHasExclusiveFlock(const QByteArray& path);

// The process that holds an exclusive flock on `path`, looked up the same way.
std::optional<long> exclusiveFlockHolder(const QByteArray& path);

}  // namespace zek::platform
