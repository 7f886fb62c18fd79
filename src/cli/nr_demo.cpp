// velanox-nr-demo [input] [output]: loads a photograph through the document, reduces its noise
// with the default settings over the whole picture and saves the result, as the desktop
// program's Save does. Defaults: samples/iso400_colorchecker.jpg and the folder out, relative to
// the current folder. An output that is a folder receives the name Save proposes
// (iso400_colorchecker_NR.jpg); a single argument that is a folder is taken as the output.
#include "document/csotavo_doc.h"
#include "document/load_source.h"
#include "document/save_document.h"
#include "document/save_name.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

namespace {

using namespace velanox;

// Messages go to stderr; there is nobody to answer a question or press Escape.
class StderrHost final : public Host {
public:
    void showMessage(std::string_view text) override {
        std::fprintf(stderr, "velanox-nr-demo: %.*s\n", int(text.size()), text.data());
    }
    Answer askQuestion(std::string_view text, QuestionButtons buttons) override {
        showMessage(text);
        return buttons == QuestionButtons::YesNo ? Answer::No : Answer::Cancel;
    }
    PumpResult pumpEvents() override { return PumpResult::Continue; }
    void setRunning(bool) override {}
    bool escapePending() override { return false; }
    void beginWaitCursor() override {}
    void endWaitCursor() override {}
    std::unique_ptr<StatusProgress> createStatusProgress(int32_t total) override {
        return std::make_unique<Progress>(total);
    }
    std::unique_ptr<ProgressDialog> createProgressDialog() override {
        return std::make_unique<Dialog>();
    }
    void updateAllViews() override {}
    void showStatusText(std::string_view text) override { showMessage(text); }

private:
    class Progress final : public StatusProgress {
    public:
        explicit Progress(int32_t total) : total_(total > 0 ? total : 1) {}
        ~Progress() override { std::fputs("\n", stderr); }
        bool isShown() const override { return true; }
        void setPosition(int32_t step) override {
            std::fprintf(stderr, "\rWorking %3d%%", int(int64_t(step) * 100 / total_));
        }

    private:
        int32_t total_;
    };
    class Dialog final : public ProgressDialog {
    public:
        void setText(std::string_view) override {}
        void setRange(int32_t, int32_t) override {}
        void setPosition(int32_t) override {}
        bool cancelPressed() const override { return false; }
    };
};

} // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::error_code ec;
    std::string input = "samples/iso400_colorchecker.jpg";
    std::string output = "out";
    if (argc == 2 && fs::is_directory(argv[1], ec)) {
        output = argv[1];
    } else {
        if (argc > 1) input = argv[1];
        if (argc > 2) output = argv[2];
    }
    if (output == "out") fs::create_directories(output, ec);
    if (fs::is_directory(output, ec)) {
        const SaveNameProposal name = proposeSaveName(input, fileNameOfPath(input));
        output = (fs::path(output) / (name.fileName + name.defaultType.substr(1))).string();
    }

    StderrHost host;
    CSotavoDoc doc(host);
    if (!onOpenDocument(doc, input).loaded()) return 1;

    if (!onSaveDocument(doc, output).saved()) return 1;
    std::printf("%s (%d x %d) -> %s\n", input.c_str(), int(doc.sourceImage.width),
                int(doc.sourceImage.height), output.c_str());
    return 0;
}
