#pragma once

#include <QString>

namespace tavik::store {

// Text from data files and paths as it may be shown on a terminal or in a log line: control
// characters, line and paragraph separators and bidirectional overrides are written out C-style
// ("\n", "\t", "\x1b", "\u202e"), so a value can neither break a line nor drive the terminal.
// Backslashes stay as they are: Windows paths are full of them, and the exact text is in the
// JSON report.
QString visibleText(const QString& text);

} // namespace tavik::store
