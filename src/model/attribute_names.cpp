#include "model/attribute_names.h"

#include <array>

#include "model/name_index.h"

namespace svg {
namespace {

constexpr std::array kNamesById = {
    std::string_view(),
#define VEXO_ATTRIBUTE_NAME(id, name) std::string_view(name),
    VEXO_SVG_ATTRIBUTES(VEXO_ATTRIBUTE_NAME)
#undef VEXO_ATTRIBUTE_NAME
};

constexpr CNameIndex<AttributeId, kNamesById.size()> kIndex(kNamesById);

}  // namespace

AttributeId AttributeIdFromName(std::string_view name) { return kIndex.Find(name); }

std::string_view AttributeName(AttributeId id) { return kIndex.Name(id); }

}  // namespace svg
