// velanox-nr: starts the application object, runs the event loop, ends the program.
//
//   velanox-nr [picture]                      opens the picture once the window shows
//   velanox-nr --screenshot FILE [--delay MS] writes a picture of the window and quits
#include "ui/application.h"
#include "ui/document_controller.h"
#include "ui/main_frame.h"

#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include <memory>

int main(int argc, char* argv[]) {
    QApplication qapp(argc, argv);
    velanox::ui::Application::nameApplication();

    QStringList arguments = QApplication::arguments();
    QString screenshotFile;
    int screenshotDelayMs = 1500;
    for (int i = 1; i + 1 < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--screenshot")) {
            screenshotFile = arguments[i + 1];
            arguments.remove(i, 2);
            --i;
        } else if (arguments[i] == QLatin1String("--delay")) {
            screenshotDelayMs = arguments[i + 1].toInt();
            arguments.remove(i, 2);
            --i;
        }
    }

    velanox::ui::Application app;
    if (!app.startUp(arguments)) return 1;
    auto controller = std::make_unique<velanox::ui::DocumentController>(app);

    // The picture named on the command line opens once the window shows; a file that cannot be
    // opened is reported and the program runs on without it.
    if (const QString path = app.pendingOpenPath(); !path.isEmpty())
        QTimer::singleShot(0, controller.get(),
                           [&controller, path] { controller->openPath(path); });

    if (!screenshotFile.isEmpty()) {
        QTimer::singleShot(screenshotDelayMs, [&] {
            const bool written = app.frame()->grab().save(screenshotFile);
            QApplication::exit(written ? 0 : 1);
        });
    }

    const int result = QApplication::exec();
    controller.reset(); // writes CropAspect
    app.programEnd();
    return result;
}
