#pragma once

// The main function of a GUI test program: the application as the programs start it,
// with Qt's Chinese texts loaded, then every registered test class.

#include "TestRegistry.h"
#include "common/GuiStartup.h"

#include <QApplication>

#include <cstdio>

#define QUILLERY_UI_TEST_MAIN()                                                                    \
    int main(int argc, char **argv)                                                                \
    {                                                                                              \
        /* The embedded web view shares its rendering context with the widgets. */                 \
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);                                \
        QApplication app(argc, argv);                                                              \
        QString missing;                                                                           \
        if (!InstallQtChineseTexts(app, &missing))                                                 \
            std::fprintf(stderr, "Qt's Chinese texts are missing: %s\n", qPrintable(missing));     \
        return TestRegistry::runAll(argc, argv);                                                   \
    }
