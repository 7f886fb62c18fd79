#include "document/save_name.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace velanox;

namespace {

std::vector<std::string> patterns(const std::string& defaultType) {
    std::vector<std::string> out;
    for (const document::SaveFilterEntry& entry : document::saveFilterEntries(defaultType))
        out.push_back(entry.pattern);
    return out;
}

} // namespace

TEST(SaveNameProposal, SourceNameGetsTheSuffixAndItsTypeIsRemembered) {
    const document::SaveNameProposal p =
        document::proposeSaveName("/photos/IMG_0042.JPG", "IMG_0042.JPG");
    EXPECT_EQ(p.fileName, "IMG_0042_NR");
    EXPECT_EQ(p.extension, ".jpg");
    EXPECT_EQ(p.defaultType, "*.jpg");
}

TEST(SaveNameProposal, OnlyTheFileNameCountsForTheDot) {
    // A dot in a folder name is no extension: the name is proposed as it is.
    const document::SaveNameProposal p = document::proposeSaveName("/a/b.c/photo", "photo");
    EXPECT_EQ(p.fileName, "photo");
    EXPECT_EQ(p.extension, "");
    EXPECT_EQ(p.defaultType, "*.jpg");
}

TEST(SaveNameProposal, TypesWithoutWriterAreOfferedAsJpeg) {
    const document::SaveNameProposal raw = document::proposeSaveName("/shots/x.nef", "x.nef");
    EXPECT_EQ(raw.fileName, "x_NR");
    EXPECT_EQ(raw.defaultType, "*.jpg");
    EXPECT_EQ(patterns(raw.defaultType).front(), "*.jpg");
    EXPECT_EQ(document::proposeSaveName("/x/anim.gif", "anim.gif").defaultType, "*.jpg");
    // Writable types keep their own, long spellings included.
    EXPECT_EQ(document::proposeSaveName("/x/scan.TIFF", "").defaultType, "*.tiff");
    EXPECT_EQ(document::proposeSaveName("/x/a.b.Png", "").fileName, "a.b_NR");
}

TEST(SaveNameProposal, PastedPictureUsesTheTitleCutAtTheFirstOddCharacter) {
    EXPECT_EQ(document::proposeSaveName("", "Untitled").fileName, "Untitled_NR");
    EXPECT_EQ(document::proposeSaveName("", "My scan#2;x").fileName, "My_NR");
    const document::SaveNameProposal noReplace = document::proposeSaveName("", "Untitled", false);
    EXPECT_EQ(noReplace.fileName, "");
    EXPECT_EQ(noReplace.defaultType, "*.jpg");
}

TEST(SaveFilter, TheSourceTypeComesFirstAndTodaysFormatsFollowTheClassicSix) {
    using V = std::vector<std::string>;
    const V modern{"*.webp", "*.avif", "*.jxl"};
    const auto with = [&](V classic) {
        classic.insert(classic.end(), modern.begin(), modern.end());
        return classic;
    };
    EXPECT_EQ(patterns("*.bmp"), with({"*.bmp", "*.jpg", "*.png", "*.psd", "*.tga", "*.tif"}));
    EXPECT_EQ(patterns("*.jpg"), with({"*.jpg", "*.bmp", "*.png", "*.psd", "*.tga", "*.tif"}));
    EXPECT_EQ(patterns("*.png"), with({"*.png", "*.bmp", "*.jpg", "*.psd", "*.tga", "*.tif"}));
    EXPECT_EQ(patterns("*.psd"), with({"*.psd", "*.bmp", "*.jpg", "*.png", "*.tga", "*.tif"}));
}

TEST(SaveFilter, OtherTypesGetALastFileExtensionEntry) {
    const std::vector<document::SaveFilterEntry> tif = document::saveFilterEntries("*.tif");
    ASSERT_EQ(tif.size(), 10u);
    EXPECT_EQ(tif[0], (document::SaveFilterEntry{"Last File Extension (*.TIF)", "*.tif"}));
    EXPECT_EQ(tif[1].name, "Windows Bitmap (*.BMP)");
    EXPECT_EQ(tif[6].name, "TIFF File (*.TIF)");
    EXPECT_EQ(document::saveFilterEntries("*.jpeg")[0].name, "Last File Extension (*.JPEG)");
    EXPECT_EQ(document::saveFilterEntries("*.webp")[0].name, "Last File Extension (*.WEBP)");

    EXPECT_EQ(document::saveFilterString("*.tga"),
              "Last File Extension (*.TGA)|*.tga|Windows Bitmap (*.BMP)|*.bmp|"
              "JPEG File (*.JPG)|*.jpg|Portable Graphics (*.PNG)|*.png|"
              "Adobe Photoshop (*.PSD)|*.psd|Targa (*.TGA)|*.tga|TIFF File (*.TIF)|*.tif|"
              "WebP File (*.WEBP)|*.webp|AVIF File (*.AVIF)|*.avif|JPEG XL File (*.JXL)|*.jxl||");
}

TEST(SaveNameProposal, TodaysFormatsWithAWriterAreProposedInTheirOwnType) {
    EXPECT_EQ(document::proposeSaveName("/x/a.webp", "").defaultType, "*.webp");
    EXPECT_EQ(document::proposeSaveName("/x/a.AVIF", "").defaultType, "*.avif");
    EXPECT_EQ(document::proposeSaveName("/x/a.jxl", "").defaultType, "*.jxl");
    // HEIC is read but not written: offered as JPEG like a camera raw.
    EXPECT_EQ(document::proposeSaveName("/x/IMG_1.HEIC", "").defaultType, "*.jpg");
    EXPECT_EQ(document::proposeSaveName("/x/IMG_1.heif", "").defaultType, "*.jpg");
}

TEST(SaveFolder, FixedFolderOnlyWhenChosenAndSet) {
    EXPECT_EQ(document::saveDialogFolder("/last", 0, "/fixed").folder, "/last");
    EXPECT_TRUE(document::saveDialogFolder("/last", 0, "/fixed").remember);
    EXPECT_EQ(document::saveDialogFolder("/last", 1, "/fixed").folder, "/fixed");
    EXPECT_FALSE(document::saveDialogFolder("/last", 1, "/fixed").remember);
    // An empty fixed folder falls back to the last one, which is then remembered again.
    EXPECT_EQ(document::saveDialogFolder("/last", 1, "").folder, "/last");
    EXPECT_TRUE(document::saveDialogFolder("/last", 1, "").remember);
}

TEST(SavePaths, FolderAndNameParts) {
    EXPECT_EQ(document::folderOfPath("/a/b/c.jpg"), "/a/b");
    EXPECT_EQ(document::folderOfPath("c.jpg"), "");
    EXPECT_EQ(document::fileNameOfPath("/a/b/c.jpg"), "c.jpg");
    EXPECT_TRUE(document::asksJpegOptions("/a/x.JPG"));
    EXPECT_FALSE(document::asksJpegOptions("/a/x.jpeg"));
    EXPECT_FALSE(document::asksJpegOptions("jp"));
}
