#include "model/attribute_names.h"

#include <algorithm>
#include <array>
#include <utility>

namespace svg {
namespace {

struct NameEntry {
    std::string_view name;
    AttributeId id;
};

constexpr auto MakeSortedTable()
{
    std::array table{
#define VEXO_ATTRIBUTE_ENTRY(id, name) NameEntry{name, AttributeId::id},
        VEXO_SVG_ATTRIBUTES(VEXO_ATTRIBUTE_ENTRY)
#undef VEXO_ATTRIBUTE_ENTRY
    };
    std::sort(table.begin(), table.end(),
              [](const NameEntry& a, const NameEntry& b) { return a.name < b.name; });
    return table;
}

constexpr auto kSortedNames = MakeSortedTable();

constexpr std::string_view kNamesById[] = {
    "",
#define VEXO_ATTRIBUTE_NAME(id, name) name,
    VEXO_SVG_ATTRIBUTES(VEXO_ATTRIBUTE_NAME)
#undef VEXO_ATTRIBUTE_NAME
};

}  // namespace

AttributeId AttributeIdFromName(std::string_view name)
{
    const auto it = std::lower_bound(
        kSortedNames.begin(), kSortedNames.end(), name,
        [](const NameEntry& entry, std::string_view key) { return entry.name < key; });
    return (it != kSortedNames.end() && it->name == name) ? it->id : AttributeId::Unknown;
}

std::string_view AttributeName(AttributeId id)
{
    const auto index = static_cast<std::size_t>(id);
    return index < std::size(kNamesById) ? kNamesById[index] : std::string_view();
}

}  // namespace svg
