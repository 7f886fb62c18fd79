// velanox-nr: starts the application object, runs the event loop, ends the program.
//
//   velanox-nr [picture]                      opens the picture once the window shows
//   velanox-nr --screenshot FILE [--delay MS] writes a picture of the window and quits
//   velanox-nr --help | --version             prints the usage or the version, no window
#include "codec/contained_reader.h"
#include "ui/application.h"
#include "ui/document_controller.h"
#include "ui/load_wait.h"
#include "ui/main_frame.h"
#include "ui/program_files.h"

#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr const char* kUsage = R"(Usage: velanox-nr [PICTURE]
Removes noise from photographs and scans. Opens the window, with PICTURE loaded when one is
given: the original in the upper half of the view, the noise-reduced result in the lower half.

      --screenshot FILE    save a picture of the window as FILE once it shows, then quit
      --delay MS           wait MS milliseconds before that picture (default 1500)
  -h, --help               print this text
      --version            print the version

For whole folders and scripts, see velanox-nr-cli --help.
)";

/// --help and --version are answered before anything else starts, without a display.
bool answeredWithoutWindow(int argc, char* argv[], int& status) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) break;
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            status = 0;
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("velanox-nr %s\n", VELANOX_VERSION);
            status = 0;
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char* argv[]) {
    if (int status = 0; answeredWithoutWindow(argc, argv, status)) return status;
    // Every picture (opened, dropped, a reference, a preview) is read by the contained reader.
    velanox::codec::ContainedReading reading;
    reading.enabled = true;
    // While the reader works the window paints, and Escape stops a load.
    reading.keepWaiting = velanox::ui::LoadWait::keepWaiting;
    velanox::codec::setContainedReading(std::move(reading));
    QApplication qapp(argc, argv);
    velanox::ui::Application::nameApplication();
    // The launcher file and icon are named after the program's id; desktops match windows to
    // the launcher by it.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(velanox::ui::kApplicationId));
    QApplication::setWindowIcon(velanox::ui::applicationIcon());

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
