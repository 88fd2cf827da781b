// The SVG 1.1 element names known to Vexo, as one list that expands into an
// enum and a name lookup, so no code compares element names as strings.
#pragma once

#include <cstdint>
#include <string_view>

namespace svg {

#define VEXO_SVG_ELEMENTS(X)                                                        \
    X(a, "a") X(altGlyph, "altGlyph") X(altGlyphDef, "altGlyphDef")                   \
    X(altGlyphItem, "altGlyphItem") X(animate, "animate") X(animateColor, "animateColor") \
    X(animateMotion, "animateMotion") X(animateTransform, "animateTransform")         \
    X(circle, "circle") X(clipPath, "clipPath") X(color_profile, "color-profile")      \
    X(cursor, "cursor") X(defs, "defs") X(desc, "desc") X(ellipse, "ellipse")         \
    X(feBlend, "feBlend") X(feColorMatrix, "feColorMatrix")                           \
    X(feComponentTransfer, "feComponentTransfer") X(feComposite, "feComposite")       \
    X(feConvolveMatrix, "feConvolveMatrix") X(feDiffuseLighting, "feDiffuseLighting") \
    X(feDisplacementMap, "feDisplacementMap") X(feDistantLight, "feDistantLight")     \
    X(feFlood, "feFlood") X(feFuncA, "feFuncA") X(feFuncB, "feFuncB")                 \
    X(feFuncG, "feFuncG") X(feFuncR, "feFuncR") X(feGaussianBlur, "feGaussianBlur")   \
    X(feImage, "feImage") X(feMerge, "feMerge") X(feMergeNode, "feMergeNode")         \
    X(feMorphology, "feMorphology") X(feOffset, "feOffset")                           \
    X(fePointLight, "fePointLight") X(feSpecularLighting, "feSpecularLighting")       \
    X(feSpotLight, "feSpotLight") X(feTile, "feTile") X(feTurbulence, "feTurbulence") \
    X(filter, "filter") X(font, "font") X(font_face, "font-face")                     \
    X(font_face_format, "font-face-format") X(font_face_name, "font-face-name")       \
    X(font_face_src, "font-face-src") X(font_face_uri, "font-face-uri")               \
    X(foreignObject, "foreignObject") X(g, "g") X(glyph, "glyph") X(glyphRef, "glyphRef") \
    X(hkern, "hkern") X(image, "image") X(line, "line") X(linearGradient, "linearGradient") \
    X(marker, "marker") X(mask, "mask") X(metadata, "metadata")                       \
    X(missing_glyph, "missing-glyph") X(mpath, "mpath") X(path, "path")               \
    X(pattern, "pattern") X(polygon, "polygon") X(polyline, "polyline")               \
    X(radialGradient, "radialGradient") X(rect, "rect") X(script, "script")           \
    X(set, "set") X(stop, "stop") X(style, "style") X(svg, "svg") X(switch_, "switch") \
    X(symbol, "symbol") X(text, "text") X(textPath, "textPath") X(title, "title")     \
    X(tref, "tref") X(tspan, "tspan") X(use, "use") X(view, "view") X(vkern, "vkern")

enum class ElementId : std::uint8_t {
    Unknown,
#define VEXO_ELEMENT_ENUM(id, name) id,
    VEXO_SVG_ELEMENTS(VEXO_ELEMENT_ENUM)
#undef VEXO_ELEMENT_ENUM
};

// Exact, case-sensitive lookup of a qualified element name; Unknown when the
// name is not an SVG 1.1 element (or carries a prefix).
ElementId ElementIdFromName(std::string_view name);
std::string_view ElementName(ElementId id);

}  // namespace svg
