#pragma once

// Several QtTest classes in one test program: each class registers itself, and
// QUILLERY_TEST_MAIN runs them all in registration order.

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
