#include "TestRegistry.h"

#include <QApplication>

int main(int argc, char **argv)
{
    // The embedded web view shares its rendering context with the widgets.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    return TestRegistry::runAll(argc, argv);
}
