#include "ui/recent_file_list.h"

#include <algorithm>

namespace velanox::ui {

void RecentFileList::load(const velanox::document::Settings& settings) {
    m_entries.clear();
    for (int i = 0; i < velanox::document::kRecentFileCount; ++i) {
        std::string path = settings.readString(velanox::document::recentFileSetting(i));
        if (!path.empty() && std::find(m_entries.begin(), m_entries.end(), path) == m_entries.end())
            m_entries.push_back(std::move(path));
    }
}

void RecentFileList::save(velanox::document::Settings& settings) const {
    for (int i = 0; i < velanox::document::kRecentFileCount; ++i)
        settings.writeString(velanox::document::recentFileSetting(i),
                             std::size_t(i) < m_entries.size() ? m_entries[std::size_t(i)] : "");
}

void RecentFileList::add(const std::string& path) {
    if (path.empty()) return;
    remove(path);
    m_entries.insert(m_entries.begin(), path);
    if (m_entries.size() > std::size_t(velanox::document::kRecentFileCount))
        m_entries.resize(std::size_t(velanox::document::kRecentFileCount));
}

void RecentFileList::remove(const std::string& path) {
    m_entries.erase(std::remove(m_entries.begin(), m_entries.end(), path), m_entries.end());
}

} // namespace velanox::ui
