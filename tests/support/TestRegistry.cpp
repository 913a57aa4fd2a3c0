#include "TestRegistry.h"

#include <QMetaMethod>

namespace TestRegistry {

std::vector<Factory> &factories()
{
    static std::vector<Factory> list;
    return list;
}

namespace {
// The test functions named on the command line ("name" or "name:tag").
QList<QByteArray> requestedFunctions(int argc, char **argv)
{
    QList<QByteArray> names;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg.startsWith('-')) {
            // Options with a value: skip it too.
            if (arg == "-o" || arg == "-eventdelay" || arg == "-keydelay" || arg == "-mousedelay"
                || arg == "-maxwarnings" || arg == "-platform")
                ++i;
            continue;
        }
        names.append(arg.left(arg.indexOf(':') < 0 ? arg.size() : arg.indexOf(':')));
    }
    return names;
}

bool hasAny(const QObject &test, const QList<QByteArray> &names)
{
    const QMetaObject *meta = test.metaObject();
    for (const QByteArray &name : names) {
        if (meta->indexOfMethod(name + "()") >= 0)
            return true;
    }
    return false;
}
} // namespace

int runAll(int argc, char **argv)
{
    const QList<QByteArray> requested = requestedFunctions(argc, argv);
    int failures = 0;
    for (const Factory &make : factories()) {
        const std::unique_ptr<QObject> test = make();
        if (!requested.isEmpty() && !hasAny(*test, requested))
            continue;
        failures += QTest::qExec(test.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}

} // namespace TestRegistry
