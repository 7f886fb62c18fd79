#include "document/folder_navigation.h"

#include "document_files.h"
#include "support/recording_host.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace velanox;
using test::RecordingHost;
using test::TempFolder;

namespace {

class FolderNavigation : public ::testing::Test {
protected:
    // Each picture gets its own first byte, so the loaded one can be told apart; written as
    // BMP whatever the name, since the content decides how a file is read and BMP is exact.
    void picture(const std::string& name, uint8_t seed) {
        test::writePicture(folder.file(name), 4, 3, seed, codec::kFormatBmp);
    }
    uint8_t loadedSeed() const { return doc.sourceImage.pixels()[0]; }
    void openFile(const std::string& name) {
        ASSERT_TRUE(document::onOpenDocument(doc, folder.file(name)).loaded());
    }

    TempFolder folder;
    RecordingHost host;
    document::CSotavoDoc doc{host};
};

} // namespace

TEST(FolderNames, AcceptedExtensions) {
    for (const char* name :
         {"a.jpg", "A.JPG", "b.bmp", "c.png", "d.pcd", "e.tga", "f.TIF", "g.pcx", "h.psd"})
        EXPECT_TRUE(document::isFolderImageName(name)) << name;
    for (const char* name : {"a.jpeg", "b.tiff", "c.wmf", "d.emf", "e.nef", "f.gif", "jpg", ""})
        EXPECT_FALSE(document::isFolderImageName(name)) << name;
}

TEST_F(FolderNavigation, ResultsArePassedOverUnlessCurrent) {
    picture("a.jpg", 10);
    picture("a_NR.jpg", 20);
    picture("b.jpg", 30);

    openFile("a.jpg");
    document::FolderStepResult step = document::loadNextInFolder(doc);
    ASSERT_EQ(step.outcome, document::FolderStepOutcome::Loaded);
    EXPECT_EQ(step.loadedPath, folder.file("b.jpg"));
    EXPECT_EQ(doc.sourceFile.documentPath, folder.file("b.jpg"));

    openFile("a_NR.jpg");
    ASSERT_EQ(document::loadNextInFolder(doc).outcome, document::FolderStepOutcome::Loaded);
    EXPECT_EQ(doc.sourceFile.documentPath, folder.file("b.jpg"));
    openFile("a_NR.jpg");
    ASSERT_EQ(document::loadPreviousInFolder(doc).outcome, document::FolderStepOutcome::Loaded);
    EXPECT_EQ(doc.sourceFile.documentPath, folder.file("a.jpg"));
    // From b, a_NR is not a neighbour.
    openFile("b.jpg");
    ASSERT_EQ(document::loadPreviousInFolder(doc).outcome, document::FolderStepOutcome::Loaded);
    EXPECT_EQ(doc.sourceFile.documentPath, folder.file("a.jpg"));
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(FolderNavigation, OnlyUpperCaseNrInTheFileNameMarksAResult) {
    const std::string sub = folder.file("set_NR");
    std::filesystem::create_directory(sub);
    test::writePicture(sub + "/a.jpg", 4, 3, 1);
    test::writePicture(sub + "/x_nr.jpg", 4, 3, 2);
    test::writePicture(sub + "/z_NR.jpg", 4, 3, 3);
    ASSERT_TRUE(document::onOpenDocument(doc, sub + "/a.jpg").loaded());
    ASSERT_EQ(document::loadNextInFolder(doc).outcome, document::FolderStepOutcome::Loaded);
    EXPECT_EQ(doc.sourceFile.documentPath, sub + "/x_nr.jpg");
    EXPECT_EQ(document::loadNextInFolder(doc).outcome, document::FolderStepOutcome::AtEnd);
}

TEST_F(FolderNavigation, ByteWiseOrderAndFilter) {
    picture("a.jpg", 1);
    picture("Z.jpg", 2);
    picture("b.png", 3);
    picture("c.jpeg", 4);
    test::writeBytes(folder.file("notes.txt"), "x");
    std::filesystem::create_directory(folder.file("dir.jpg"));
    const std::vector<std::string> listing = document::listFolderImages(folder.file("a.jpg"));
    EXPECT_EQ(listing, (std::vector<std::string>{folder.file("Z.jpg"), folder.file("a.jpg"),
                                                 folder.file("b.png")}));

    openFile("a.jpg");
    ASSERT_EQ(document::loadPreviousInFolder(doc).outcome, document::FolderStepOutcome::Loaded);
    EXPECT_EQ(loadedSeed(), 2);
}

TEST_F(FolderNavigation, AloneInTheFolder) {
    picture("only.bmp", 1);
    openFile("only.bmp");
    EXPECT_EQ(document::loadNextInFolder(doc).outcome, document::FolderStepOutcome::AtEnd);
    EXPECT_EQ(document::loadPreviousInFolder(doc).outcome, document::FolderStepOutcome::AtEnd);
    EXPECT_EQ(host.messages, (std::vector<std::string>{document::kLastFileInFolderMessage,
                                                       document::kFirstFileInFolderMessage}));
    EXPECT_EQ(doc.sourceFile.documentPath, folder.file("only.bmp"));
}

TEST_F(FolderNavigation, CurrentFileNotListedIsSilent) {
    picture("photo.jpeg", 1);
    picture("other.jpg", 2);
    openFile("photo.jpeg");
    EXPECT_EQ(document::loadNextInFolder(doc).outcome, document::FolderStepOutcome::NotListed);
    EXPECT_EQ(document::loadPreviousInFolder(doc).outcome, document::FolderStepOutcome::NotListed);
    EXPECT_EQ(doc.sourceFile.documentPath, folder.file("photo.jpeg"));

    // A pasted picture has no path: the commands are off.
    const uint8_t rgb[12] = {};
    ASSERT_TRUE(document::pasteImage(doc, rgb, 2, 2).loaded());
    EXPECT_FALSE(document::canStepInFolder(doc));
    EXPECT_EQ(document::loadNextInFolder(doc).outcome, document::FolderStepOutcome::Busy);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(FolderNavigation, ExactNameWinsOverACaseInsensitiveMatch) {
    picture("A.jpg", 1);
    picture("a.jpg", 2);
    openFile("a.jpg");
    // Sorted A.jpg, a.jpg: a.jpg is last.
    EXPECT_EQ(document::loadNextInFolder(doc).outcome, document::FolderStepOutcome::AtEnd);
    ASSERT_EQ(document::loadPreviousInFolder(doc).outcome, document::FolderStepOutcome::Loaded);
    EXPECT_EQ(loadedSeed(), 1);
    // A path that matches nothing exactly falls back to the lower-cased comparison.
    EXPECT_EQ(document::findCurrentEntry({folder.file("A.jpg"), folder.file("b.jpg")},
                                         folder.file("a.JPG")),
              0);
}

TEST_F(FolderNavigation, BrokenNeighbourIsSkipped) {
    picture("a.jpg", 1);
    test::writeBytes(folder.file("b.jpg"), "not a picture at all");
    picture("c.jpg", 3);
    openFile("a.jpg");

    const document::FolderStepResult step = document::loadNextInFolder(doc);
    ASSERT_EQ(step.outcome, document::FolderStepOutcome::Loaded);
    EXPECT_EQ(doc.sourceFile.documentPath, folder.file("c.jpg"));
    EXPECT_EQ(loadedSeed(), 3);
    ASSERT_EQ(step.skipped.size(), 1u);
    EXPECT_EQ(step.skipped[0].first, folder.file("b.jpg"));
    ASSERT_EQ(host.statusTexts.size(), 1u);
    EXPECT_EQ(host.statusTexts[0],
              "Cannot open " + folder.file("b.jpg") + ": " + step.skipped[0].second);

    ASSERT_EQ(document::loadPreviousInFolder(doc).outcome, document::FolderStepOutcome::Loaded);
    EXPECT_EQ(loadedSeed(), 1);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(FolderNavigation, OnlyBrokenNeighboursLeft) {
    picture("a.jpg", 1);
    test::writeBytes(folder.file("b.jpg"), "broken");
    openFile("a.jpg");
    EXPECT_EQ(document::loadNextInFolder(doc).outcome, document::FolderStepOutcome::AtEnd);
    EXPECT_EQ(host.messages, (std::vector<std::string>{document::kLastFileInFolderMessage}));
    EXPECT_EQ(doc.sourceFile.documentPath, folder.file("a.jpg"));
    EXPECT_EQ(loadedSeed(), 1);
}

TEST_F(FolderNavigation, NothingWhileARunIsOn) {
    picture("a.jpg", 1);
    picture("b.jpg", 2);
    openFile("a.jpg");
    doc.processing.calculating = 1;
    EXPECT_FALSE(document::canStepInFolder(doc));
    EXPECT_EQ(document::stepInFolder(doc, folder.file("a.jpg"), true).outcome,
              document::FolderStepOutcome::Busy);
    EXPECT_EQ(loadedSeed(), 1);
}
