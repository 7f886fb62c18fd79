// How long the desktop program takes to answer the start of a pan: a press in the view and a
// page click on a scroll bar, each up to the repainted view, on a large photo. Runs the whole
// program (frame, document, view) on the offscreen platform and prints the median and the
// slowest of several presses.
//   view-response-timing [picture] [repeats]
#include "document/csotavo_doc.h"
#include "ui/application.h"
#include "ui/document_controller.h"
#include "ui/main_frame.h"
#include "ui/sotavo_view.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using velanox::ui::CSotavoView;

// Lets the view's timers and the processing run until the lower half shows a processed result.
bool waitForResult(velanox::document::CSotavoDoc& doc, CSotavoView& view) {
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 120000) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        if (doc.processing.resultValid && doc.processing.calculating == 0 &&
            !view.reprocessTimer().isPending())
            return true;
    }
    return false;
}

void report(const char* what, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    std::printf("%-34s median %7.2f ms  slowest %7.2f ms  (%zu presses)\n", what, ms[ms.size() / 2],
                ms.back(), ms.size());
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    const QString picture =
        argc > 1
            ? QString::fromLocal8Bit(argv[1])
            : QStringLiteral(VELANOX_CORPUS_DIR "/noisy/canon_eos_rp_26mp_clean_benchmark.jpg");
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;

    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    velanox::ui::Application app(settings);
    app.startUp({QStringLiteral("view-response-timing")}, false);
    app.frame()->resize(1400, 900);
    app.frame()->show();
    velanox::ui::DocumentController controller(app);
    if (!controller.openPath(picture)) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(picture));
        return 1;
    }
    velanox::document::CSotavoDoc& doc = controller.document();
    CSotavoView& view = *controller.view();
    std::printf("%s: %d x %d\n", qPrintable(picture), doc.sourceImage.width,
                doc.sourceImage.height);
    if (!waitForResult(doc, view)) {
        std::fprintf(stderr, "the first run did not finish\n");
        return 1;
    }

    std::vector<double> presses, pages;
    QElapsedTimer timer;
    const QPoint middle = view.viewport()->rect().center();
    for (int i = 0; i < repeats; ++i) {
        timer.start();
        QTest::mousePress(view.viewport(), Qt::LeftButton, Qt::NoModifier, middle);
        view.viewport()->repaint();
        presses.push_back(double(timer.nsecsElapsed()) / 1e6);
        QTest::mouseRelease(view.viewport(), Qt::LeftButton, Qt::NoModifier, middle);
        if (!waitForResult(doc, view)) return 1;

        QScrollBar* bar = view.verticalScrollBar();
        const bool down = bar->value() + bar->pageStep() <= bar->maximum();
        timer.start();
        bar->triggerAction(down ? QAbstractSlider::SliderPageStepAdd
                                : QAbstractSlider::SliderPageStepSub);
        view.viewport()->repaint();
        pages.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (!waitForResult(doc, view)) return 1;
    }
    report("press in the view", presses);
    report("scroll-bar page click", pages);
    return 0;
}
