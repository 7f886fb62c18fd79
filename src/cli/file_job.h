// One job of a batch run: its own host, document and colour-match state, taking one file after
// another from Open to Save with the command line's settings. Nothing mutable is shared with
// the other jobs except the progress display, which locks.
#pragma once

#include "cli/cli_host.h"
#include "cli/cli_options.h"
#include "cli/file_report.h"
#include "cli/input_files.h"
#include "color/color_match_state.h"
#include "document/csotavo_doc.h"

#include <memory>
#include <string>

namespace velanox::cli {

class FileJob {
public:
    /// options and display must outlive the job; slot is its line in the display.
    FileJob(const CliOptions& options, ProgressDisplay& display, int slot);

    /// Loads input, applies the geometry and the settings, processes and writes output (with
    /// --info: only loads and describes it). Never throws; every failure is in the report.
    FileReport run(const InputFile& input, const std::string& output);

    /// The job's document, for tests that compare with the core called directly.
    document::CSotavoDoc& document() { return *m_doc; }

private:
    bool applyGeometry(FileReport& report);
    bool applyColorMatch(FileReport& report);
    void applySettings();
    bool processAndSave(const std::string& output, FileReport& report);
    std::string hostMessages();

    const CliOptions& m_options;
    ProgressDisplay& m_display;
    int m_slot;
    CliHost m_host;
    std::unique_ptr<document::CSotavoDoc> m_doc;
    color::ColorMatchState m_match;
    bool m_referenceLoaded = false;
    bool m_profileRead = false;
};

/// The settings of a document for the command line: JPEG quality and sampling, memory limits.
document::DocumentSettings documentSettingsFor(const CliOptions& options);

/// The name of a format id for reports ("JPEG", "PNG", "camera raw", ...).
std::string formatName(uint32_t formatId);

} // namespace velanox::cli
