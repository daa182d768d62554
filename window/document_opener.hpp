#pragma once
// Opens a document with the desktop's program for its type, and learns
// whether that failed. Qt's own opening only tells whether a launcher could
// be started: a launcher that finds no program for the document, or whose
// program fails at once, would go unnoticed. Here the desktop's launcher
// (xdg-open) is watched for a moment.
#include <QString>
#include <chrono>

namespace trevanix::window {

// How long the launcher is watched: long enough for it to find out that no
// program takes the document, short enough not to keep the window waiting
// when it runs the program in its own foreground (as it does without a
// desktop environment).
inline constexpr std::chrono::milliseconds launcher_watch{1500};

// False when no launcher exists, or the launcher reported a failure within
// `watch`; true when it succeeded or is still running (its program shows the
// document). The window repaints meanwhile but takes no input.
bool open_with_desktop(const QString& path, std::chrono::milliseconds watch = launcher_watch);

} // namespace trevanix::window
