#pragma once

#include <functional>

class QApplication;
class QCoreApplication;
class QString;

// Starts the Qt application of a windowed program and runs body with it. Without a
// usable display it prints a clear message on standard error and returns 1 instead
// of letting the platform plugin abort the process.
int RunWindowedProgram(int &argc, char **argv, const char *programName,
                       const std::function<int(QApplication &)> &body);

// Loads Qt's own Chinese texts (standard buttons, file and folder dialogs, the
// context menus of fields and of the web view) into the application. Returns false
// and names the missing file when Qt's base translation cannot be loaded; the
// programs then still run, with those texts in English.
bool InstallQtChineseTexts(QCoreApplication &app, QString *missing = nullptr);
