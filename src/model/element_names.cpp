#include "model/element_names.h"

#include <array>

#include "model/name_index.h"

namespace svg {
namespace {

constexpr std::array kNamesById = {
    std::string_view(),
#define VEXO_ELEMENT_NAME(id, name) std::string_view(name),
    VEXO_SVG_ELEMENTS(VEXO_ELEMENT_NAME)
#undef VEXO_ELEMENT_NAME
};

constexpr CNameIndex<ElementId, kNamesById.size()> kIndex(kNamesById);

}  // namespace

ElementId ElementIdFromName(std::string_view name) { return kIndex.Find(name); }

std::string_view ElementName(ElementId id) { return kIndex.Name(id); }

}  // namespace svg
