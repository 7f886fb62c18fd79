// Files the tests read. The small ones live in tests/data (each with its source and licence in
// tests/data/LICENSES.md), so that a clone with nothing beside it passes its whole suite; a few
// sweeps also read the large shared corpus beside the clone (../shared/testdata) when it is there.
#pragma once

#include <string>

namespace velanox::test {

/// tests/data/<relativePath>, else the shared corpus's copy; empty when neither exists.
std::string testFile(const std::string& relativePath);

/// The shared corpus's file (or folder); empty when the corpus is not beside the clone.
std::string corpusFile(const std::string& relativePath);

/// The folder of the test files kept with the sources (tests/data).
std::string testDataFolder();

/// Whether a missing test file fails the test rather than skipping it: the environment variable
/// CI is set (the suite must then be complete).
bool missingFilesFail();

/// What a test says when a file it needs is missing.
std::string missingFileMessage(const std::string& relativePath);

/// What a test says when it is passed over because the shared corpus is not there.
std::string missingCorpusMessage(const std::string& relativePath);

/// Where a tool the tests compare against is installed (searched on PATH); empty when absent.
std::string findTool(const std::string& name);

} // namespace velanox::test

/// In a GoogleTest body: ends the test because a file it needs is missing, failing it when CI
/// is set and skipping it otherwise, with a message naming the file.
#define VELANOX_MISSING_TEST_FILE(relative)                                                        \
    do {                                                                                           \
        if (::velanox::test::missingFilesFail())                                                   \
            FAIL() << ::velanox::test::missingFileMessage(relative);                               \
        GTEST_SKIP() << ::velanox::test::missingFileMessage(relative);                             \
    } while (false)

/// In a GoogleTest body: declares var as the path of a test file, or ends the test as
/// VELANOX_MISSING_TEST_FILE does.
#define VELANOX_TEST_FILE(var, relative)                                                           \
    const std::string var = ::velanox::test::testFile(relative);                                   \
    if (var.empty()) VELANOX_MISSING_TEST_FILE(relative)

/// In a GoogleTest body: a file of the large shared corpus, or the test is skipped (CI or not)
/// with a message naming the corpus.
#define VELANOX_CORPUS_FILE(var, relative)                                                         \
    const std::string var = ::velanox::test::corpusFile(relative);                                 \
    if (var.empty()) GTEST_SKIP() << ::velanox::test::missingCorpusMessage(relative)
