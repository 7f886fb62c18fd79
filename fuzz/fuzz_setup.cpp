// Linked into every fuzz target. A crash, leak or time-out input is written under the build
// folder's fuzz-findings/ (which git ignores) unless the command line names another place, so
// a target run by hand from the source folder leaves no artifact there.
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

/// What a target does once before the first input; targets that need nothing do not define it.
extern "C" void fuzzTargetInitialize() __attribute__((weak));

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    bool named = false;
    for (int i = 1; i < *argc; ++i)
        if (std::strncmp((*argv)[i], "-artifact_prefix=", 17) == 0) named = true;
    if (!named) {
        const std::filesystem::path folder = VELANOX_FUZZ_FINDINGS_DIR;
        std::error_code ignored;
        std::filesystem::create_directories(folder, ignored);
        const std::string target = std::filesystem::path((*argv)[0]).filename().string();
        static std::string prefix;
        static std::vector<char*> arguments;
        prefix = "-artifact_prefix=" + (folder / (target + "-")).string();
        arguments.assign(*argv, *argv + *argc);
        // The prefix goes before the corpus folders and files, among the flags.
        arguments.insert(arguments.begin() + 1, prefix.data());
        arguments.push_back(nullptr);
        *argv = arguments.data();
        *argc += 1;
    }
    if (fuzzTargetInitialize) fuzzTargetInitialize();
    return 0;
}
