#include "ui_test_main.h"

#include "ui/application.h"

#include <QApplication>
#include <QTest>

#include <memory>

namespace velanox::ui::test {
std::vector<std::function<QObject*()>>& testClasses() {
    static std::vector<std::function<QObject*()>> classes;
    return classes;
}
} // namespace velanox::ui::test

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    velanox::ui::Application::nameApplication();
    int failures = 0;
    for (const auto& make : velanox::ui::test::testClasses()) {
        std::unique_ptr<QObject> tests(make());
        failures += QTest::qExec(tests.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
