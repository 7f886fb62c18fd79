// A document with a recording host and links that count what the panes ask of the view and the
// main frame, for the pane tests.
#pragma once

#include "support/recording_host.h"

#include "document/csotavo_doc.h"
#include "ui/panes/pane_links.h"

#include <QWidget>

#include <cstring>
#include <memory>
#include <vector>

namespace velanox::ui::test {

struct PaneFixture {
    velanox::test::RecordingHost host;
    std::unique_ptr<document::CSotavoDoc> doc = std::make_unique<document::CSotavoDoc>(host);

    int detailRuns = 0;
    int redraws = 0;
    int histograms = 0;
    int cropEntries = 0;
    int nrRefreshes = 0;
    std::vector<int> modeTabs;
    std::vector<std::pair<double, double>> scrolls;

    /// Links that count instead of running the pipeline; crop mode still goes through the
    /// document so its state is real.
    PaneLinks countingLinks() {
        PaneLinks links;
        links.processDetail = [this] { ++detailRuns; };
        links.updateAllViews = [this] { ++redraws; };
        links.computeHistogram = [this] { ++histograms; };
        links.enterCropMode = [this](bool resetView) {
            ++cropEntries;
            doc->enterCropMode(resetView);
        };
        links.setModeTab = [this](int tab) { modeTabs.push_back(tab); };
        links.refreshNrOptions = [this] { ++nrRefreshes; };
        links.scrollToFraction = [this](double fx, double fy) { scrolls.emplace_back(fx, fy); };
        return links;
    }

    /// A width x height source, every byte value; the result a copy.
    void makeSource(int width, int height, uint8_t value) {
        doc->sourceImage.allocate(width, height, 24);
        std::memset(doc->sourceImage.pixels(), value, doc->sourceImage.pixelBytes());
        doc->resultImage.copyFrom(doc->sourceImage);
        doc->setDetailRect(0, 0, std::min(width, 64), std::min(height, 64));
    }

    /// A horizontal grey ramp, so the colour steps have something to change.
    void makeRamp(int width, int height) {
        doc->sourceImage.allocate(width, height, 24);
        uint8_t* p = doc->sourceImage.pixels();
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                for (int c = 0; c < 3; ++c)
                    *p++ = uint8_t((x * 255) / std::max(1, width - 1));
        doc->resultImage.copyFrom(doc->sourceImage);
        doc->setDetailRect(0, 0, width, height);
    }
};

/// The child control of a pane by its numeric id.
template <class T> T* control(QWidget* pane, int id) {
    return pane->findChild<T*>(QStringLiteral("control_%1").arg(id));
}

} // namespace velanox::ui::test
