#include "document/settings.h"

#include <algorithm>
#include <array>
#include <cassert>

namespace velanox::document {

namespace {

using namespace setting_section;
using T = SettingType;

// The one declaration of every stored value. "Frame" values default to -1, which the main frame
// reads as "no saved placement".
constexpr std::array<SettingEntry, std::size_t(SettingId::Count)> kTable{{
    {SettingId::JPGq, kSettings, "JPGq", T::Int, 92},
    {SettingId::JPGES, kSettings, "JPGES", T::Int, 1},
    {SettingId::CropAspect, kSettings, "CropAspect", T::Int, 8},
    {SettingId::MaxBlockW, kSettings, "MaxBlockW", T::Int, 3100},
    {SettingId::MaxBlockH, kSettings, "MaxBlockH", T::Int, 2100},
    {SettingId::MaxSwapW, kSettings, "MaxSwapW", T::Int, 2000},
    {SettingId::MaxSwapH, kSettings, "MaxSwapH", T::Int, 2000},
    {SettingId::MemoryBudgetMB, kSettings, "MemoryBudgetMB", T::Int, 0},
    {SettingId::SaveType, kSettings, "SaveType", T::Int, 0},
    {SettingId::SavePath, kSettings, "SavePath", T::String, 0, ""},
    {SettingId::IntfTheme, kSettings, "IntfTheme", T::Int, 2},
    {SettingId::PaneTheme, kSettings, "PaneTheme", T::Int, 5},
    {SettingId::FrameStatus, kFrame, "Status", T::Int, -1},
    {SettingId::FrameLeft, kFrame, "Left", T::Int, -1},
    {SettingId::FrameTop, kFrame, "Top", T::Int, -1},
    {SettingId::FrameRight, kFrame, "Right", T::Int, -1},
    {SettingId::FrameBottom, kFrame, "Bottom", T::Int, -1},
    {SettingId::DocumentPath, kDocument, "Path", T::String, 0, ""},
    {SettingId::DocumentOutPath, kDocument, "outPath", T::String, 0, ""},
    {SettingId::MatchPath, kDocument, "MatchPath", T::String, 0, ""},
    {SettingId::RecentFile1, kRecentFiles, "File1", T::String, 0, ""},
    {SettingId::RecentFile2, kRecentFiles, "File2", T::String, 0, ""},
    {SettingId::RecentFile3, kRecentFiles, "File3", T::String, 0, ""},
    {SettingId::RecentFile4, kRecentFiles, "File4", T::String, 0, ""},
}};

constexpr bool tableInIdOrder() {
    for (std::size_t i = 0; i < kTable.size(); ++i)
        if (std::size_t(kTable[i].id) != i) return false;
    return true;
}
static_assert(tableInIdOrder(), "settings table rows must follow SettingId");

} // namespace

std::span<const SettingEntry> settingsTable() {
    return kTable;
}

const SettingEntry& settingEntry(SettingId id) {
    assert(id != SettingId::Count);
    return kTable[std::size_t(id)];
}

SettingId recentFileSetting(int index) {
    assert(index >= 0 && index < kRecentFileCount);
    return SettingId(int(SettingId::RecentFile1) + index);
}

int32_t Settings::readInt(SettingId id) const {
    const SettingEntry& decl = settingEntry(id);
    assert(decl.type == SettingType::Int);
    return storedInt(decl.section, decl.name).value_or(decl.intDefault);
}

std::string Settings::readString(SettingId id) const {
    const SettingEntry& decl = settingEntry(id);
    assert(decl.type == SettingType::String);
    if (auto value = storedString(decl.section, decl.name)) return *value;
    return std::string(decl.stringDefault);
}

void Settings::writeInt(SettingId id, int32_t value) {
    const SettingEntry& decl = settingEntry(id);
    assert(decl.type == SettingType::Int);
    storeInt(decl.section, decl.name, value);
}

void Settings::writeString(SettingId id, std::string_view value) {
    const SettingEntry& decl = settingEntry(id);
    assert(decl.type == SettingType::String);
    storeString(decl.section, decl.name, value);
}

bool Settings::contains(SettingId id) const {
    const SettingEntry& decl = settingEntry(id);
    return decl.type == SettingType::Int ? storedInt(decl.section, decl.name).has_value()
                                         : storedString(decl.section, decl.name).has_value();
}

std::optional<int32_t> MemorySettings::storedInt(std::string_view section,
                                                 std::string_view name) const {
    auto it = m_values.find(Key(section, name));
    if (it == m_values.end() || !it->second.isInt) return std::nullopt;
    return it->second.number;
}

std::optional<std::string> MemorySettings::storedString(std::string_view section,
                                                        std::string_view name) const {
    auto it = m_values.find(Key(section, name));
    if (it == m_values.end()) return std::nullopt;
    return it->second.isInt ? std::to_string(it->second.number) : it->second.text;
}

void MemorySettings::storeInt(std::string_view section, std::string_view name, int32_t value) {
    m_values[Key(section, name)] = Value{true, value, {}};
    ++m_writes;
}

void MemorySettings::storeString(std::string_view section, std::string_view name,
                                 std::string_view value) {
    m_values[Key(section, name)] = Value{false, 0, std::string(value)};
    ++m_writes;
}

MemorySettingsValues clampMemorySettings(const MemorySettingsValues& v) {
    auto clamp = [](int32_t x) { return std::max(x, kMinMemorySetting); };
    return {clamp(v.maxBlockW), clamp(v.maxBlockH), clamp(v.maxSwapW), clamp(v.maxSwapH),
            std::max(v.budgetMB, 0)};
}

bool needsMemoryClamp(const MemorySettingsValues& values) {
    return clampMemorySettings(values) != values;
}

MemorySettingsValues readMemorySettings(const Settings& settings) {
    return clampMemorySettings(
        {settings.readInt(SettingId::MaxBlockW), settings.readInt(SettingId::MaxBlockH),
         settings.readInt(SettingId::MaxSwapW), settings.readInt(SettingId::MaxSwapH),
         settings.readInt(SettingId::MemoryBudgetMB)});
}

void writeMemorySettings(Settings& settings, const MemorySettingsValues& values) {
    settings.writeInt(SettingId::MaxBlockW, values.maxBlockW);
    settings.writeInt(SettingId::MaxBlockH, values.maxBlockH);
    settings.writeInt(SettingId::MaxSwapW, values.maxSwapW);
    settings.writeInt(SettingId::MaxSwapH, values.maxSwapH);
    settings.writeInt(SettingId::MemoryBudgetMB, values.budgetMB);
}

} // namespace velanox::document
