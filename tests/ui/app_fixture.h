// The whole program on a real document for the QtTest suites: the application, its frame shown
// at 1000 x 720, the document controller, and message boxes and questions recorded instead of
// shown. With VELANOX_UI_SHOTS set to a folder, shot() writes the window there as a PNG.
#pragma once

#include "temp_settings.h"

#include "document/csotavo_doc.h"
#include "ui/application.h"
#include "ui/document_controller.h"
#include "ui/main_frame.h"
#include "ui/message_box.h"
#include "ui/mode_tab_strip.h"

#include <QAction>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace velanox::ui::test {

// A picture with a few shapes, so crops and rotations can be told apart by eye.
inline QImage scene(int w, int h, int seed) {
    QImage image(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixelColor(x, y,
                                QColor((x * 255) / w, (y * 255) / h, (seed * 60 + (x ^ y)) & 255));
    QPainter p(&image);
    p.fillRect(QRect(w / 8, h / 8, w / 4, h / 4), QColor(200, 40, 40));
    p.setBrush(QColor(40, 40, 200));
    p.drawEllipse(QPoint(w * 2 / 3, h / 2), w / 6, h / 5);
    return image;
}

struct AppFixture {
    test::TempSettings settings;
    QTemporaryDir dir;
    Application app{*settings};
    std::unique_ptr<DocumentController> controller;
    QStringList messages;
    QStringList questions;
    QuestionAnswer answer = QuestionAnswer::Cancel;
    MessageHandler previousMessages;
    QuestionHandler previousQuestions;

    AppFixture() {
        app.startUp({QStringLiteral("velanox-nr")}, false);
        app.frame()->resize(1000, 720);
        app.frame()->show();
        controller = std::make_unique<DocumentController>(app);
        previousMessages =
            setMessageHandler([this](QWidget*, const QString& text) { messages << text; });
        previousQuestions = setQuestionHandler([this](QWidget*, const QString& text, QuestionKind) {
            questions << text;
            return answer;
        });
    }
    ~AppFixture() {
        setMessageHandler(previousMessages);
        setQuestionHandler(previousQuestions);
        controller.reset();
    }

    velanox::document::CSotavoDoc& doc() { return controller->document(); }
    CMainFrame* frame() { return app.frame(); }
    void run(int id) { frame()->runCommand(id); }
    bool enabled(int id) {
        frame()->updateCommandStates();
        return frame()->command(id)->isEnabled();
    }
    bool checked(int id) {
        frame()->updateCommandStates();
        return frame()->command(id)->isChecked();
    }
    int tab() { return frame()->modeTabs()->current(); }

    QString write(const QString& name, int w, int h, int seed = 0) {
        const QString path = dir.filePath(name);
        return scene(w, h, seed).save(path) ? path : QString();
    }
    bool open(const QString& name, int w, int h) {
        const QString path = write(name, w, h);
        return !path.isEmpty() && controller->openPath(path);
    }

    // Lets the timers and paints run, then writes the window when screenshots are wanted.
    void shot(const char* name) {
        QTest::qWait(150);
        const QByteArray folder = qgetenv("VELANOX_UI_SHOTS");
        if (folder.isEmpty()) return;
        QDir().mkpath(QString::fromLocal8Bit(folder));
        frame()->grab().save(QDir(QString::fromLocal8Bit(folder))
                                 .filePath(QString::fromLatin1(name) + QStringLiteral(".png")));
    }
};

} // namespace velanox::ui::test
