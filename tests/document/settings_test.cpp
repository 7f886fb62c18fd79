#include "document/settings.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace velanox::document {
namespace {

TEST(SettingsTest, FirstStartReadsTheTableDefaults) {
    MemorySettings store;
    EXPECT_EQ(store.readInt(SettingId::JPGq), 92);
    EXPECT_EQ(store.readInt(SettingId::JPGES), 1);
    EXPECT_EQ(store.readInt(SettingId::CropAspect), 8);
    EXPECT_EQ(store.readInt(SettingId::MaxBlockW), 3100);
    EXPECT_EQ(store.readInt(SettingId::MaxBlockH), 2100);
    EXPECT_EQ(store.readInt(SettingId::MaxSwapW), 2000);
    EXPECT_EQ(store.readInt(SettingId::MaxSwapH), 2000);
    EXPECT_EQ(store.readInt(SettingId::SaveType), 0);
    EXPECT_EQ(store.readString(SettingId::SavePath), "");
    EXPECT_EQ(store.readInt(SettingId::IntfTheme), 2);
    EXPECT_EQ(store.readInt(SettingId::PaneTheme), 5);
    EXPECT_EQ(store.readInt(SettingId::FrameStatus), -1);
    EXPECT_EQ(store.readInt(SettingId::FrameBottom), -1);
    EXPECT_EQ(store.readString(SettingId::DocumentPath), "");
    EXPECT_EQ(store.readString(SettingId::MatchPath), "");
    EXPECT_FALSE(store.contains(SettingId::JPGq));
    // Reading never writes.
    EXPECT_EQ(store.writeCount(), 0);
}

TEST(SettingsTest, TableNamesAreStoredExactlyOnceEach) {
    std::set<std::pair<std::string, std::string>> seen;
    for (const SettingEntry& decl : settingsTable())
        EXPECT_TRUE(seen.insert({std::string(decl.section), std::string(decl.name)}).second)
            << decl.section << "/" << decl.name;
    EXPECT_EQ(settingEntry(SettingId::DocumentOutPath).name, "outPath");
    EXPECT_EQ(settingEntry(SettingId::RecentFile1).section, "Recent File List");
    EXPECT_EQ(settingEntry(recentFileSetting(3)).name, "File4");
    EXPECT_EQ(settingEntry(SettingId::FrameStatus).section, "Frame");
    EXPECT_EQ(settingEntry(SettingId::FrameStatus).name, "Status");
}

TEST(SettingsTest, WrittenValuesComeBackAndOutOfRangeValuesAreNotClampedWhenRead) {
    MemorySettings store;
    store.writeInt(SettingId::JPGq, 7);
    store.writeInt(SettingId::PaneTheme, 9);
    store.writeString(SettingId::SavePath, "/home/me/out");
    EXPECT_EQ(store.readInt(SettingId::JPGq), 7);
    EXPECT_EQ(store.readInt(SettingId::PaneTheme), 9);
    EXPECT_EQ(store.readString(SettingId::SavePath), "/home/me/out");
    EXPECT_TRUE(store.contains(SettingId::SavePath));
}

TEST(SettingsTest, AStringWhereAnIntegerBelongsReadsAsTheDefault) {
    MemorySettings store;
    store.storeString("Settings", "JPGq", "high");
    EXPECT_EQ(store.readInt(SettingId::JPGq), 92);
}

TEST(MemorySettingsTest, SmallOrNegativeSizesNeverReachThePipeline) {
    MemorySettings store;
    writeMemorySettings(store, {0, -5, 63, 64});
    // Stored as written...
    EXPECT_EQ(store.readInt(SettingId::MaxBlockW), 0);
    EXPECT_EQ(store.readInt(SettingId::MaxBlockH), -5);
    // ...but handed on raised to the smallest usable size.
    const MemorySettingsValues used = readMemorySettings(store);
    EXPECT_EQ(used, (MemorySettingsValues{64, 64, 64, 64}));
}

TEST(MemorySettingsTest, TheMemoryBudgetIsStoredInMegabytesAndZeroMeansTheDefault) {
    MemorySettings store;
    EXPECT_EQ(readMemorySettings(store).budgetMB, 0);
    EXPECT_FALSE(store.contains(SettingId::MemoryBudgetMB));
    writeMemorySettings(store, {3100, 2100, 2000, 2000, 6144});
    EXPECT_EQ(store.storedInt("Settings", "MemoryBudgetMB"), 6144);
    EXPECT_EQ(readMemorySettings(store).budgetMB, 6144);
    // The block and swap sizes are raised to 64; the budget is not (a small one is a choice).
    EXPECT_EQ(clampMemorySettings({10, 10, 10, 10, 10}).budgetMB, 10);
    // A negative budget is the default.
    writeMemorySettings(store, {3100, 2100, 2000, 2000, -1});
    EXPECT_EQ(readMemorySettings(store).budgetMB, 0);
    EXPECT_TRUE(needsMemoryClamp({3100, 2100, 2000, 2000, -1}));
}

TEST(MemorySettingsTest, UsableValuesPassUnchanged) {
    const MemorySettingsValues values{3100, 2100, 2000, 65};
    EXPECT_FALSE(needsMemoryClamp(values));
    EXPECT_EQ(clampMemorySettings(values), values);
    EXPECT_TRUE(needsMemoryClamp({3100, 2100, 2000, 63}));
    MemorySettings store;
    EXPECT_EQ(readMemorySettings(store), (MemorySettingsValues{3100, 2100, 2000, 2000}));
}

} // namespace
} // namespace velanox::document
