// Every QtTest class of the program registers itself here; ui_test_main.cpp runs them all.
#pragma once

#include "support/test_files.h"

#include <QObject>
#include <QtTest>

#include <functional>
#include <vector>

namespace velanox::ui::test {

std::vector<std::function<QObject*()>>& testClasses();

/// How long a test waits for the event loop to deliver what a timer or a worker thread posts. A
/// busy CI machine can take seconds; a passing wait returns as soon as its condition holds.
constexpr int kSlowMachineMs = 30000;

struct Registration {
    explicit Registration(std::function<QObject*()> make) {
        testClasses().push_back(std::move(make));
    }
};

} // namespace velanox::ui::test

/// In a QtTest slot: declares var as the path of a test file, or fails (the environment variable
/// CI is set) or skips the test with a message naming the file.
#define VELANOX_UI_TEST_FILE(var, relative)                                                        \
    const std::string var = ::velanox::test::testFile(relative);                                   \
    if (var.empty()) {                                                                             \
        if (::velanox::test::missingFilesFail())                                                   \
            QFAIL(::velanox::test::missingFileMessage(relative).c_str());                          \
        QSKIP(::velanox::test::missingFileMessage(relative).c_str());                              \
    }

#define VELANOX_UI_TEST(Class)                                                                     \
    static const velanox::ui::test::Registration registration##Class([] { return new Class; })
