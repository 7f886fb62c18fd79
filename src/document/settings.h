// The stored settings: sections, value names, types and defaults, declared once in one table,
// and the store interface the program reads and writes them through. The desktop program keeps
// them in QSettings; the tests and the command-line tool in memory.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace velanox::document {

/// Every stored value the program knows. The order is the order of settingsTable().
enum class SettingId {
    // section "Settings"
    JPGq,
    JPGES,
    CropAspect,
    MaxBlockW,
    MaxBlockH,
    MaxSwapW,
    MaxSwapH,
    MemoryBudgetMB,
    SaveType,
    SavePath,
    IntfTheme,
    PaneTheme,
    // section "Frame"
    FrameStatus,
    FrameLeft,
    FrameTop,
    FrameRight,
    FrameBottom,
    // section "Document"
    DocumentPath,
    DocumentOutPath,
    MatchPath,
    // section "Recent File List"
    RecentFile1,
    RecentFile2,
    RecentFile3,
    RecentFile4,
    Count
};

enum class SettingType { Int, String };

/// One row of the settings table: where a value is stored, its type and the value used when it
/// is missing. Values are never clamped when read; the dialogs that edit them bound the input.
struct SettingEntry {
    SettingId id;
    std::string_view section;
    std::string_view name;
    SettingType type;
    int32_t intDefault = 0;
    std::string_view stringDefault = {};
};

namespace setting_section {
inline constexpr std::string_view kSettings = "Settings";
inline constexpr std::string_view kFrame = "Frame";
inline constexpr std::string_view kDocument = "Document";
inline constexpr std::string_view kRecentFiles = "Recent File List";
} // namespace setting_section

/// The whole table, in SettingId order.
std::span<const SettingEntry> settingsTable();
/// The row of one value.
const SettingEntry& settingEntry(SettingId id);

/// Number of entries of the recent-file list ("File1" .. "File4").
inline constexpr int kRecentFileCount = 4;
/// The recent-file entry index 0..3 as a setting.
SettingId recentFileSetting(int index);

/// A store of integers and strings by section and value name. A missing value is never an
/// error: the typed reads fall back to the table's default.
class Settings {
public:
    virtual ~Settings() = default;

    /// The stored integer, or nothing when the value is missing or not an integer.
    virtual std::optional<int32_t> storedInt(std::string_view section,
                                             std::string_view name) const = 0;
    /// The stored string, or nothing when the value is missing.
    virtual std::optional<std::string> storedString(std::string_view section,
                                                    std::string_view name) const = 0;
    virtual void storeInt(std::string_view section, std::string_view name, int32_t value) = 0;
    virtual void storeString(std::string_view section, std::string_view name,
                             std::string_view value) = 0;
    /// Makes the stored values durable (a no-op for stores that write at once).
    virtual void flush() {}

    /// The value of an integer setting, or its default when missing.
    int32_t readInt(SettingId id) const;
    /// The value of a string setting, or its default when missing.
    std::string readString(SettingId id) const;
    void writeInt(SettingId id, int32_t value);
    void writeString(SettingId id, std::string_view value);
    /// Whether the value is stored at all.
    bool contains(SettingId id) const;
};

/// Settings held in memory, for tests and for runs that must not touch the user's store.
class MemorySettings : public Settings {
public:
    std::optional<int32_t> storedInt(std::string_view section,
                                     std::string_view name) const override;
    std::optional<std::string> storedString(std::string_view section,
                                            std::string_view name) const override;
    void storeInt(std::string_view section, std::string_view name, int32_t value) override;
    void storeString(std::string_view section, std::string_view name,
                     std::string_view value) override;

    /// Number of writes so far, so tests can see when a value was written.
    int writeCount() const { return m_writes; }
    /// Forgets every value.
    void clear() { m_values.clear(); }

private:
    using Key = std::pair<std::string, std::string>;
    struct Value {
        bool isInt = false;
        int32_t number = 0;
        std::string text;
    };
    std::map<Key, Value> m_values;
    int m_writes = 0;
};

/// The Memory Settings values (section "Settings").
struct MemorySettingsValues {
    int32_t maxBlockW = 3100;
    int32_t maxBlockH = 2100;
    int32_t maxSwapW = 2000;
    int32_t maxSwapH = 2000;
    int32_t budgetMB = 0; ///< memory a whole run may use, in MB; 0: half the machine's memory

    bool operator==(const MemorySettingsValues&) const = default;
};

/// Block and swap sizes below this never reach the pipeline: it divides by the block size, and
/// tiny blocks or swap limits make every run crawl through thousands of tiles or mappings.
inline constexpr int32_t kMinMemorySetting = 64;

/// The values with every block and swap size below kMinMemorySetting raised to it and a
/// negative budget taken as 0 (half the machine's memory).
MemorySettingsValues clampMemorySettings(const MemorySettingsValues& values);
/// Whether clampMemorySettings would change anything.
bool needsMemoryClamp(const MemorySettingsValues& values);

/// Reads the values with their defaults, clamped for the pipeline.
MemorySettingsValues readMemorySettings(const Settings& settings);
/// Writes the values (Memory Settings OK).
void writeMemorySettings(Settings& settings, const MemorySettingsValues& values);

} // namespace velanox::document
