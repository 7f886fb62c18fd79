// The inputs of a batch run: named files, folders, sub-folders with -r, and what is passed over.
#include "cli/input_files.h"

#include "document/document_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace velanox::cli {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> names(const InputListing& listing) {
    std::vector<std::string> out;
    for (const InputFile& f : listing.files)
        out.push_back(fs::path(f.path).filename().string());
    return out;
}

// A folder that already holds the results of an earlier run: stepping through the folder
// passes over "_NR" files, and so do folder listings, with or without -r.
TEST(InputFiles, EarlierResultsInFoldersArePassedOver) {
    test::TempFolder folder;
    fs::create_directories(folder.path() / "sub");
    for (const char* name : {"a.jpg", "a_NR.jpg", "b.png", "b_NR.png", "x_nr.bmp", "c_NR_NR.tif",
                             "notes.txt", "sub/d.tif", "sub/d_NR.jpg"})
        test::writeBytes(folder.file(name), "x");
    // A folder whose own name holds "_NR" does not hide its files.
    fs::create_directories(folder.path() / "old_NR");
    test::writeBytes(folder.file("old_NR/e.jpg"), "x");

    const InputListing flat = enumerateInputs({folder.path().string()}, false);
    EXPECT_TRUE(flat.errors.empty());
    // Only the upper-case "_NR" marks a result, as in folder stepping.
    EXPECT_EQ(names(flat), (std::vector<std::string>{"a.jpg", "b.png", "x_nr.bmp"}));

    const InputListing tree = enumerateInputs({folder.path().string()}, true);
    std::vector<std::string> treeNames = names(tree);
    std::sort(treeNames.begin(), treeNames.end());
    EXPECT_EQ(treeNames,
              (std::vector<std::string>{"a.jpg", "b.png", "d.tif", "e.jpg", "x_nr.bmp"}));
}

TEST(InputFiles, ResultsNamedOnTheCommandLineAreTaken) {
    test::TempFolder folder;
    test::writeBytes(folder.file("a_NR.jpg"), "x");
    test::writeBytes(folder.file("b.jpg"), "x");
    const InputListing listing =
        enumerateInputs({folder.file("a_NR.jpg"), folder.path().string()}, false);
    EXPECT_EQ(names(listing), (std::vector<std::string>{"a_NR.jpg", "b.jpg"}));
}

} // namespace
} // namespace velanox::cli
