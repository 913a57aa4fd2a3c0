#include "TestRegistry.h"

#include <QMetaMethod>

#include <cstdio>

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

// One test function that records that it ran: run after each class, it tells whether
// QtTest still runs anything.
class RunProbe : public QObject
{
    Q_OBJECT
public:
    bool ran = false;
private Q_SLOTS:
    void probe() { ran = true; }
};

bool qtTestStillRuns()
{
    RunProbe probe;
    const char *args[] = {"probe", "-o", "/dev/null,txt"};
    QTest::qExec(&probe, 3, const_cast<char **>(args));
    return probe.ran;
}

QString skipReasonOf(QObject &test)
{
    QString reason;
    if (test.metaObject()->indexOfMethod("skipReason()") >= 0)
        QMetaObject::invokeMethod(&test, "skipReason", Qt::DirectConnection,
                                  Q_RETURN_ARG(QString, reason));
    return reason;
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
        const QString skip = skipReasonOf(*test);
        if (!skip.isEmpty()) {
            std::printf("SKIP   : %s: %s\n", test->metaObject()->className(),
                        skip.toLocal8Bit().constData());
            continue;
        }
        failures += QTest::qExec(test.get(), argc, argv);
        if (!qtTestStillRuns()) {
            std::fprintf(stderr,
                         "FAIL!  : %s skipped in initTestCase, so no later test class would run: "
                         "give it a skipReason() instead\n",
                         test->metaObject()->className());
            return 1;
        }
    }
    return failures == 0 ? 0 : 1;
}

} // namespace TestRegistry

#include "TestRegistry.moc"
