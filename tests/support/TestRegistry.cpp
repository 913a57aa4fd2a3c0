#include "TestRegistry.h"

namespace TestRegistry {

std::vector<Factory> &factories()
{
    static std::vector<Factory> list;
    return list;
}

int runAll(int argc, char **argv)
{
    int failures = 0;
    for (const Factory &make : factories()) {
        const std::unique_ptr<QObject> test = make();
        failures += QTest::qExec(test.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}

} // namespace TestRegistry
