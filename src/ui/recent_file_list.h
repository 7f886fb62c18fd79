// The four most recent files, section "Recent File List", "File1" (newest) to "File4".
#pragma once

#include "document/settings.h"

#include <string>
#include <vector>

namespace velanox::ui {

class RecentFileList {
public:
    void load(const velanox::document::Settings& settings);
    /// Writes all four entries (an empty string where there is none).
    void save(velanox::document::Settings& settings) const;
    /// Puts path first; an entry already in the list moves up, the oldest falls off.
    void add(const std::string& path);
    void remove(const std::string& path);
    const std::vector<std::string>& entries() const { return m_entries; }

private:
    std::vector<std::string> m_entries;
};

} // namespace velanox::ui
