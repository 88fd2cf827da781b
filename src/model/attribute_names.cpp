#include "model/attribute_names.h"

#include <array>

#include "model/name_index.h"

namespace svg {
namespace {

// Counted rather than deduced: clang bounds the deduction of an array's size
// at 256 elements.
#define VEXO_COUNT_ATTRIBUTE(id, name) +1
constexpr std::size_t kNameCount = 1 VEXO_SVG_ATTRIBUTES(VEXO_COUNT_ATTRIBUTE);
#undef VEXO_COUNT_ATTRIBUTE

constexpr std::array<std::string_view, kNameCount> kNamesById = {
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
