#include "model/element_names.h"

#include <algorithm>
#include <array>
#include <utility>

namespace svg {
namespace {

struct NameEntry {
    std::string_view name;
    ElementId id;
};

constexpr auto MakeSortedTable()
{
    std::array table{
#define VEXO_ELEMENT_ENTRY(id, name) NameEntry{name, ElementId::id},
        VEXO_SVG_ELEMENTS(VEXO_ELEMENT_ENTRY)
#undef VEXO_ELEMENT_ENTRY
    };
    std::sort(table.begin(), table.end(),
              [](const NameEntry& a, const NameEntry& b) { return a.name < b.name; });
    return table;
}

constexpr auto kSortedNames = MakeSortedTable();

constexpr std::string_view kNamesById[] = {
    "",
#define VEXO_ELEMENT_NAME(id, name) name,
    VEXO_SVG_ELEMENTS(VEXO_ELEMENT_NAME)
#undef VEXO_ELEMENT_NAME
};

}  // namespace

ElementId ElementIdFromName(std::string_view name)
{
    const auto it = std::lower_bound(
        kSortedNames.begin(), kSortedNames.end(), name,
        [](const NameEntry& entry, std::string_view key) { return entry.name < key; });
    return (it != kSortedNames.end() && it->name == name) ? it->id : ElementId::Unknown;
}

std::string_view ElementName(ElementId id)
{
    const auto index = static_cast<std::size_t>(id);
    return index < std::size(kNamesById) ? kNamesById[index] : std::string_view();
}

}  // namespace svg
