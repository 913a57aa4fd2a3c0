#pragma once

#include <functional>

class QApplication;

// Starts the Qt application of a windowed program and runs body with it. --help and
// --version are answered on standard output without a display (helpUtf8: the
// program's own part of the help). Without a usable display it prints a clear message
// on standard error and returns 1 instead of letting the platform plugin abort the
// process. An installed program's data folder is made ready before body runs; when
// that fails, a message names the folder or file and the program ends with 1.
int RunWindowedProgram(int &argc, char **argv, const char *programName, const char *helpUtf8,
                       const std::function<int(QApplication &)> &body);
