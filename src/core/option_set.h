// OptionSet: named, typed values a format reads (a writer's quality, compression, resolution),
// so that a new format adds keys of its own and no field to the picture that carries them.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

namespace velanox::core {

/// The name and type of one option and what it is when not set; declared once, by whoever
/// reads it.
template <class T> struct OptionKey {
    static_assert(std::is_arithmetic_v<T> || std::is_same_v<T, std::string>);
    std::string_view name;
    T defaultValue;
};

class OptionSet {
public:
    template <class T> void set(const OptionKey<T>& key, T value) {
        m_values.insert_or_assign(std::string(key.name), stored(value));
    }

    /// The value set under the key's name, or the key's default when none was.
    template <class T> T get(const OptionKey<T>& key) const {
        const auto found = m_values.find(key.name);
        if (found == m_values.end()) return key.defaultValue;
        if constexpr (std::is_same_v<T, std::string>) {
            const auto* text = std::get_if<std::string>(&found->second);
            return text ? *text : key.defaultValue;
        } else if constexpr (std::is_floating_point_v<T>) {
            const auto* number = std::get_if<double>(&found->second);
            return number ? T(*number) : key.defaultValue;
        } else {
            const auto* number = std::get_if<int64_t>(&found->second);
            return number ? T(*number) : key.defaultValue;
        }
    }

    template <class T> bool contains(const OptionKey<T>& key) const {
        return m_values.find(key.name) != m_values.end();
    }
    template <class T> void erase(const OptionKey<T>& key) {
        const auto found = m_values.find(key.name);
        if (found != m_values.end()) m_values.erase(found);
    }
    bool empty() const { return m_values.empty(); }
    bool operator==(const OptionSet&) const = default;

private:
    using Value = std::variant<int64_t, double, std::string>;

    template <class T> static Value stored(const T& value) {
        if constexpr (std::is_same_v<T, std::string>)
            return value;
        else if constexpr (std::is_floating_point_v<T>)
            return double(value);
        else
            return int64_t(value);
    }

    std::map<std::string, Value, std::less<>> m_values;
};

} // namespace velanox::core
