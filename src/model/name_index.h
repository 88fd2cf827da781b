// Both directions between the names of a fixed list and their enum ids, for
// the element and attribute lists: ids count from 1 in list order (0 is
// Unknown), names are found by binary search in a copy sorted at compile time.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

namespace svg {

template <typename Id, std::size_t N>
class CNameIndex {
public:
    // `namesById[i]` is the name of id i; entry 0, Unknown's, is empty.
    constexpr explicit CNameIndex(const std::array<std::string_view, N>& namesById) : namesById_(namesById)
    {
        for (std::size_t i = 0; i < N; ++i)
            sorted_[i] = {namesById[i], static_cast<Id>(i)};
        std::sort(sorted_.begin(), sorted_.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
    }

    // Exact, case-sensitive; Unknown (id 0) for a name outside the list.
    constexpr Id Find(std::string_view name) const
    {
        const auto it = std::lower_bound(sorted_.begin(), sorted_.end(), name,
                                         [](const Entry& entry, std::string_view key) { return entry.name < key; });
        return it != sorted_.end() && it->name == name && !name.empty() ? it->id : Id{};
    }

    constexpr std::string_view Name(Id id) const
    {
        const auto index = static_cast<std::size_t>(id);
        return index < N ? namesById_[index] : std::string_view();
    }

private:
    struct Entry {
        std::string_view name;
        Id id{};
    };

    std::array<std::string_view, N> namesById_;
    std::array<Entry, N> sorted_{};
};

}  // namespace svg
