#pragma once
// Converts the engine's file-dialog filter, "description|pattern|description|
// pattern...", into the name filters of a Qt file dialog.
#include <QString>
#include <QStringList>
#include <string>

namespace trevanix::window {

// One "description (patterns)" entry per pair. Patterns separated by ";" become
// blank-separated; a description that already ends with its own "(patterns)"
// is not given them twice. An odd trailing description keeps "(*)".
QStringList qt_name_filters(const std::string& filter);

// The extension of the first pattern when it is of the form "*.ext", else "".
QString first_pattern_suffix(const std::string& filter);

} // namespace trevanix::window
