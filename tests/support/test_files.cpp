#include "support/test_files.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace velanox::test {

namespace fs = std::filesystem;

std::string testDataFolder() {
    return VELANOX_TEST_DATA_DIR;
}

std::string corpusFile(const std::string& relativePath) {
    const fs::path p = fs::path(VELANOX_TESTDATA_DIR) / relativePath;
    std::error_code ec;
    return fs::exists(p, ec) ? p.string() : std::string();
}

std::string testFile(const std::string& relativePath) {
    const fs::path kept = fs::path(VELANOX_TEST_DATA_DIR) / relativePath;
    std::error_code ec;
    if (fs::exists(kept, ec)) return kept.string();
    return corpusFile(relativePath);
}

bool missingFilesFail() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && *ci != '\0';
}

std::string missingFileMessage(const std::string& relativePath) {
    return "test file missing: " + relativePath +
           " (looked in " VELANOX_TEST_DATA_DIR " and " VELANOX_TESTDATA_DIR ")" +
           (missingFilesFail() ? std::string() : std::string("; with CI set this fails"));
}

std::string missingCorpusMessage(const std::string& relativePath) {
    return "needs the shared test corpus beside the clone (" VELANOX_TESTDATA_DIR "/" +
           relativePath + "), which is not there";
}

std::string findTool(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "/usr/bin:/bin");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (folder.empty()) continue;
        const fs::path candidate = fs::path(folder) / name;
        std::error_code ec;
        if (fs::is_regular_file(candidate, ec) &&
            (fs::status(candidate, ec).permissions() & fs::perms::owner_exec) != fs::perms::none)
            return candidate.string();
    }
    return {};
}

} // namespace velanox::test
