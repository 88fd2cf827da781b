// Both directions between the names of a fixed list and their enum ids, for
// the element and attribute lists: ids count from 1 in list order (0 is
// Unknown), names are found through a hash table built at compile time
// (every attribute of every element is looked up while a document loads).
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace svg {

template <typename Id, std::size_t N>
class CNameIndex {
public:
    // `namesById[i]` is the name of id i; entry 0, Unknown's, is empty.
    constexpr explicit CNameIndex(const std::array<std::string_view, N>& namesById) : namesById_(namesById)
    {
        for (std::size_t i = 1; i < N; ++i) {
            std::size_t slot = Hash(namesById[i]) & kMask;
            while (slots_[slot] != 0)
                slot = (slot + 1) & kMask;
            slots_[slot] = static_cast<std::uint16_t>(i);
        }
    }

    // Exact, case-sensitive; Unknown (id 0) for a name outside the list.
    constexpr Id Find(std::string_view name) const
    {
        if (name.empty())
            return Id{};
        for (std::size_t slot = Hash(name) & kMask; slots_[slot] != 0; slot = (slot + 1) & kMask)
            if (namesById_[slots_[slot]] == name)
                return static_cast<Id>(slots_[slot]);
        return Id{};
    }

    constexpr std::string_view Name(Id id) const
    {
        const auto index = static_cast<std::size_t>(id);
        return index < N ? namesById_[index] : std::string_view();
    }

private:
    static_assert(N < 65536, "ids are kept in 16 bits");
    // At most half full, so that a miss ends after a probe or two.
    static constexpr std::size_t kSlotCount = std::bit_ceil(N * 2);
    static constexpr std::size_t kMask = kSlotCount - 1;

    // FNV-1a.
    static constexpr std::uint32_t Hash(std::string_view name)
    {
        std::uint32_t hash = 2166136261u;
        for (const char c : name)
            hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
        return hash;
    }

    std::array<std::string_view, N> namesById_;
    // 0: empty; else the id whose name hashed here (or was pushed along to here).
    std::array<std::uint16_t, kSlotCount> slots_{};
};

}  // namespace svg
