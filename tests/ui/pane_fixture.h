// A document with a recording host, the view the program shows it in (offscreen) and a record of
// every change the document announces, for the pane tests. The panes reach the view and the
// document as they do in the program: through the view's requests and the document's
// operations and notifications.
#pragma once

#include "support/recording_host.h"
#include "support/recording_observer.h"

#include "document/csotavo_doc.h"
#include "ui/panes.h"
#include "ui/sotavo_view.h"

#include <QTest>
#include <QWidget>

#include <cstring>
#include <memory>

namespace velanox::ui::test {

struct PaneFixture {
    velanox::test::RecordingHost host;
    std::unique_ptr<document::CSotavoDoc> doc = std::make_unique<document::CSotavoDoc>(host);
    velanox::test::RecordingObserver changes{*doc};
    /// 200 x 300: the Detail view shows about 200 x 150 pixels of the source above the result.
    CSotavoView view;

    PaneFixture() {
        view.setDocument(doc.get());
        view.resize(200, 300);
        view.show();
        (void)QTest::qWaitForWindowExposed(&view);
        view.reprocessTimer().cancel(); // the first layout's processing: the tests run their own
        changes.clear();
    }
    ~PaneFixture() { view.setDocument(nullptr); }

    /// The pane as the program sets it up: the view answers its requests.
    void attach(PaneContent& pane) {
        pane.setDetailRequests(&view);
        pane.attachDocument(doc.get());
    }

    int count(document::DocumentChange change) const { return changes.count(change); }
    /// Pipeline runs over the detail rectangle (or the whole picture) since the fixture was made.
    int runs() const { return count(document::DocumentChange::RunStarted); }

    /// A width x height source, every byte value; the result a copy.
    void makeSource(int width, int height, uint8_t value) {
        doc->sourceImage.allocate(width, height, 24);
        std::memset(doc->sourceImage.pixels(), value, doc->sourceImage.pixelBytes());
        doc->resultImage.copyFrom(doc->sourceImage);
        doc->setDetailRect(0, 0, std::min(width, 64), std::min(height, 64));
        arrived();
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
        arrived();
    }

    /// The new source announced as a load does, and the record started afresh.
    void arrived() {
        doc->notify(document::DocumentChange::SourceReplaced);
        changes.clear();
    }
};

/// The child control of a pane by its numeric id.
template <class T> T* control(QWidget* pane, int id) {
    return pane->findChild<T*>(QStringLiteral("control_%1").arg(id));
}

} // namespace velanox::ui::test
