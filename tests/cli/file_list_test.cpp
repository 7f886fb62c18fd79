#include "cli/file_list.h"

#include "document/document_files.h"

#include <gtest/gtest.h>

#include <sstream>

namespace velanox::cli {
namespace {

std::vector<std::string> namesIn(const std::string& text) {
    std::istringstream in(text);
    return parseFileList(in);
}

TEST(FileList, OneNamePerLineAsWritten) {
    EXPECT_EQ(namesIn("a.jpg\n\n b c.png \r\nlast.tif"),
              (std::vector<std::string>{"a.jpg", " b c.png ", "last.tif"}));
    EXPECT_TRUE(namesIn("").empty());
    EXPECT_TRUE(namesIn("\n\r\n\n").size() == 0u);
}

TEST(FileList, NulSeparatedNamesMayHoldNewlines) {
    const std::string text("one\ntwo.jpg\0plain.png\0\0", 24);
    EXPECT_EQ(namesIn(text), (std::vector<std::string>{"one\ntwo.jpg", "plain.png"}));
}

TEST(FileList, ListsFollowTheCommandLineInputsAndAMissingListIsReported) {
    test::TempFolder folder;
    test::writeBytes(folder.file("list.txt"), "b.jpg\nc.jpg\n");
    const ListedInputs listed =
        gatherInputs({"a.jpg"}, {folder.file("list.txt"), folder.file("absent.txt")});
    EXPECT_EQ(listed.inputs, (std::vector<std::string>{"a.jpg", "b.jpg", "c.jpg"}));
    ASSERT_EQ(listed.errors.size(), 1u);
    EXPECT_EQ(listed.errors[0].rfind(folder.file("absent.txt") + ": cannot read the file list", 0),
              0u);
}

} // namespace
} // namespace velanox::cli
