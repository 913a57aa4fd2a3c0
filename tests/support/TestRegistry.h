#pragma once

// Several QtTest classes in one test program: each class registers itself, and
// QUILLERY_TEST_MAIN runs them all in registration order.
//
// A class that cannot run here (no session bus, no PostgreSQL, no screenshot folder) must
// not QSKIP in initTestCase: QtTest 6.4 keeps that skip for every later class of the
// process, which then pass without running anything. It declares instead
//     Q_INVOKABLE QString skipReason() const;
// returning why it is skipped (empty: run it); runAll reports it and moves on. runAll
// also fails the program when a class leaves QtTest in that state anyway.

#include <QObject>
#include <QTest>

#include <functional>
#include <memory>
#include <vector>

namespace TestRegistry {

using Factory = std::function<std::unique_ptr<QObject>()>;
std::vector<Factory> &factories();

template<class T>
struct Registration
{
    Registration()
    {
        factories().push_back([] { return std::unique_ptr<QObject>(new T); });
    }
};

int runAll(int argc, char **argv);

} // namespace TestRegistry

#define QUILLERY_REGISTER_TEST(Class) static TestRegistry::Registration<Class> registration##Class;

#define QUILLERY_TEST_MAIN(AppClass)                                                               \
    int main(int argc, char **argv)                                                                \
    {                                                                                              \
        AppClass app(argc, argv);                                                                  \
        return TestRegistry::runAll(argc, argv);                                                   \
    }
