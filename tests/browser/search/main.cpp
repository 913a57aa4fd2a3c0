#include "TestRegistry.h"

#include <QCoreApplication>

QUILLERY_TEST_MAIN(QCoreApplication)
