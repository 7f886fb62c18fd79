// Every QtTest class of the program registers itself here; ui_test_main.cpp runs them all.
#pragma once

#include <QObject>

#include <functional>
#include <vector>

namespace velanox::ui::test {

std::vector<std::function<QObject*()>>& testClasses();

struct Registration {
    explicit Registration(std::function<QObject*()> make) {
        testClasses().push_back(std::move(make));
    }
};

} // namespace velanox::ui::test

#define VELANOX_UI_TEST(Class)                                                                     \
    static const velanox::ui::test::Registration registration##Class([] { return new Class; })
