#include "TestRegistry.h"

#include <QApplication>

QUILLERY_TEST_MAIN(QApplication)
