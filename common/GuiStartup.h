#pragma once

#include <functional>

class QApplication;

// Starts the Qt application of a windowed program and runs body with it. Without a
// usable display it prints a clear message on standard error and returns 1 instead
// of letting the platform plugin abort the process.
int RunWindowedProgram(int &argc, char **argv, const char *programName,
                       const std::function<int(QApplication &)> &body);
