#pragma once

#include <QString>

namespace tavik::app {

// The window, run until it is closed; its exit status.
int runWindow(int argc, char* argv[]);

// Hands the process over to the window. The window is a program of its own, so that the batch
// mode loads no display libraries, which took most of its start. Returns only when the window
// could not be started, with the reason in German.
QString startWindow(int argc, char* argv[]);

} // namespace tavik::app
