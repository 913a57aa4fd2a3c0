#pragma once

#include <functional>

class QApplication;
class QCoreApplication;
class QString;

// Starts the Qt application of a windowed program and runs body with it. --help and
// --version are answered on standard output without a display (helpUtf8: the
// program's own part of the help). Without a usable display it prints a clear message
// on standard error and returns 1 instead of letting the platform plugin abort the
// process. An installed program's data folder is made ready before body runs; when
// that fails, a message names the folder or file and the program ends with 1.
int RunWindowedProgram(int &argc, char **argv, const char *programName, const char *helpUtf8,
                       const std::function<int(QApplication &)> &body);

// Loads Qt's own Chinese texts (standard buttons, file and folder dialogs, the
// context menus of fields and of the web view) into the application. Returns false
// and names the missing file when Qt's base translation cannot be loaded; the
// programs then still run, with those texts in English.
bool InstallQtChineseTexts(QCoreApplication &app, QString *missing = nullptr);
