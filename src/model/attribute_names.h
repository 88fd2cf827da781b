// The attribute and property names Vexo reads, as one list that expands into
// an enum and a name lookup, like the element names: code asks for
// AttributeId::viewBox, never compares attribute names as strings. Names
// outside the list (foreign attributes such as inkscape:label) are kept by
// name only.
#pragma once

#include <cstdint>
#include <string_view>

namespace svg {

// clang-format off
#define VEXO_SVG_ATTRIBUTES(X) \
    X(accent_height, "accent-height") X(accumulate, "accumulate") X(additive, "additive") \
    X(alignment_baseline, "alignment-baseline") X(alphabetic, "alphabetic") X(amplitude, "amplitude") \
    X(arabic_form, "arabic-form") X(ascent, "ascent") X(attributeName, "attributeName") \
    X(attributeType, "attributeType") X(azimuth, "azimuth") X(baseFrequency, "baseFrequency") \
    X(baseline_shift, "baseline-shift") X(baseProfile, "baseProfile") X(bbox, "bbox") X(begin, "begin") \
    X(bias, "bias") X(by, "by") X(calcMode, "calcMode") X(cap_height, "cap-height") X(class_, "class") \
    X(clip, "clip") X(clip_path, "clip-path") X(clip_rule, "clip-rule") X(clipPathUnits, "clipPathUnits") \
    X(color, "color") X(color_interpolation, "color-interpolation") \
    X(color_interpolation_filters, "color-interpolation-filters") X(color_profile, "color-profile") \
    X(color_rendering, "color-rendering") X(contentScriptType, "contentScriptType") \
    X(contentStyleType, "contentStyleType") X(cursor, "cursor") X(cx, "cx") X(cy, "cy") X(d, "d") \
    X(descent, "descent") X(diffuseConstant, "diffuseConstant") X(direction, "direction") \
    X(display, "display") X(divisor, "divisor") X(dominant_baseline, "dominant-baseline") X(dur, "dur") \
    X(dx, "dx") X(dy, "dy") X(edgeMode, "edgeMode") X(elevation, "elevation") \
    X(enable_background, "enable-background") X(end, "end") X(exponent, "exponent") \
    X(externalResourcesRequired, "externalResourcesRequired") X(fill, "fill") \
    X(fill_opacity, "fill-opacity") X(fill_rule, "fill-rule") X(filter, "filter") X(filterRes, "filterRes") \
    X(filterUnits, "filterUnits") X(flood_color, "flood-color") X(flood_opacity, "flood-opacity") \
    X(font, "font") X(font_family, "font-family") X(font_size, "font-size") \
    X(font_size_adjust, "font-size-adjust") X(font_stretch, "font-stretch") X(font_style, "font-style") \
    X(font_variant, "font-variant") X(font_weight, "font-weight") X(format, "format") X(from, "from") \
    X(fx, "fx") X(fy, "fy") X(g1, "g1") X(g2, "g2") X(glyph_name, "glyph-name") \
    X(glyph_orientation_horizontal, "glyph-orientation-horizontal") \
    X(glyph_orientation_vertical, "glyph-orientation-vertical") X(glyphRef, "glyphRef") \
    X(gradientTransform, "gradientTransform") X(gradientUnits, "gradientUnits") X(hanging, "hanging") \
    X(height, "height") X(hkern, "hkern") X(horiz_adv_x, "horiz-adv-x") X(horiz_origin_x, "horiz-origin-x") \
    X(horiz_origin_y, "horiz-origin-y") X(id, "id") X(ideographic, "ideographic") \
    X(image_rendering, "image-rendering") X(in_, "in") X(in2, "in2") X(intercept, "intercept") X(k, "k") \
    X(k1, "k1") X(k2, "k2") X(k3, "k3") X(k4, "k4") X(kernelMatrix, "kernelMatrix") \
    X(kernelUnitLength, "kernelUnitLength") X(kerning, "kerning") X(keyPoints, "keyPoints") \
    X(keySplines, "keySplines") X(keyTimes, "keyTimes") X(lang, "lang") X(lengthAdjust, "lengthAdjust") \
    X(letter_spacing, "letter-spacing") X(lighting_color, "lighting-color") \
    X(limitingConeAngle, "limitingConeAngle") X(local, "local") X(marker, "marker") \
    X(marker_end, "marker-end") X(marker_mid, "marker-mid") X(marker_start, "marker-start") \
    X(markerHeight, "markerHeight") X(markerUnits, "markerUnits") X(markerWidth, "markerWidth") \
    X(mask, "mask") X(maskContentUnits, "maskContentUnits") X(maskUnits, "maskUnits") \
    X(mathematical, "mathematical") X(max, "max") X(media, "media") X(method, "method") X(min, "min") \
    X(mode, "mode") X(name, "name") X(numOctaves, "numOctaves") X(offset, "offset") X(onload, "onload") \
    X(opacity, "opacity") X(operator_, "operator") X(order, "order") X(orient, "orient") \
    X(orientation, "orientation") X(origin, "origin") X(overflow, "overflow") \
    X(overline_position, "overline-position") X(overline_thickness, "overline-thickness") \
    X(panose_1, "panose-1") X(path, "path") X(pathLength, "pathLength") \
    X(patternContentUnits, "patternContentUnits") X(patternTransform, "patternTransform") \
    X(patternUnits, "patternUnits") X(pointer_events, "pointer-events") X(points, "points") \
    X(pointsAtX, "pointsAtX") X(pointsAtY, "pointsAtY") X(pointsAtZ, "pointsAtZ") \
    X(preserveAlpha, "preserveAlpha") X(preserveAspectRatio, "preserveAspectRatio") \
    X(primitiveUnits, "primitiveUnits") X(r, "r") X(radius, "radius") X(refX, "refX") X(refY, "refY") \
    X(rendering_intent, "rendering-intent") X(repeatCount, "repeatCount") X(repeatDur, "repeatDur") \
    X(requiredExtensions, "requiredExtensions") X(requiredFeatures, "requiredFeatures") \
    X(restart, "restart") X(result, "result") X(rotate, "rotate") X(rx, "rx") X(ry, "ry") X(scale, "scale") \
    X(seed, "seed") X(shape_rendering, "shape-rendering") X(slope, "slope") X(spacing, "spacing") \
    X(specularConstant, "specularConstant") X(specularExponent, "specularExponent") \
    X(spreadMethod, "spreadMethod") X(startOffset, "startOffset") X(stdDeviation, "stdDeviation") \
    X(stemh, "stemh") X(stemv, "stemv") X(stitchTiles, "stitchTiles") X(stop_color, "stop-color") \
    X(stop_opacity, "stop-opacity") X(strikethrough_position, "strikethrough-position") \
    X(strikethrough_thickness, "strikethrough-thickness") X(string, "string") X(stroke, "stroke") \
    X(stroke_dasharray, "stroke-dasharray") X(stroke_dashoffset, "stroke-dashoffset") \
    X(stroke_linecap, "stroke-linecap") X(stroke_linejoin, "stroke-linejoin") \
    X(stroke_miterlimit, "stroke-miterlimit") X(stroke_opacity, "stroke-opacity") \
    X(stroke_width, "stroke-width") X(style, "style") X(surfaceScale, "surfaceScale") \
    X(systemLanguage, "systemLanguage") X(tableValues, "tableValues") X(target, "target") \
    X(targetX, "targetX") X(targetY, "targetY") X(text_anchor, "text-anchor") \
    X(text_decoration, "text-decoration") X(text_rendering, "text-rendering") X(textLength, "textLength") \
    X(title, "title") X(to, "to") X(transform, "transform") X(type, "type") X(u1, "u1") X(u2, "u2") \
    X(underline_position, "underline-position") X(underline_thickness, "underline-thickness") \
    X(unicode, "unicode") X(unicode_bidi, "unicode-bidi") X(unicode_range, "unicode-range") \
    X(units_per_em, "units-per-em") X(v_alphabetic, "v-alphabetic") X(v_hanging, "v-hanging") \
    X(v_ideographic, "v-ideographic") X(v_mathematical, "v-mathematical") X(values, "values") \
    X(version, "version") X(vert_adv_y, "vert-adv-y") X(vert_origin_x, "vert-origin-x") \
    X(vert_origin_y, "vert-origin-y") X(VexoLoc, "VexoLoc") X(viewBox, "viewBox") \
    X(viewTarget, "viewTarget") X(visibility, "visibility") X(vkern, "vkern") X(width, "width") \
    X(widths, "widths") X(word_spacing, "word-spacing") X(writing_mode, "writing-mode") X(x, "x") \
    X(x_height, "x-height") X(x1, "x1") X(x2, "x2") X(xChannelSelector, "xChannelSelector") \
    X(xlink_actuate, "xlink:actuate") X(xlink_arcrole, "xlink:arcrole") X(xlink_href, "xlink:href") \
    X(xlink_role, "xlink:role") X(xlink_show, "xlink:show") X(xlink_title, "xlink:title") \
    X(xlink_type, "xlink:type") X(xml_base, "xml:base") X(xml_id, "xml:id") X(xml_lang, "xml:lang") \
    X(xml_space, "xml:space") X(xmlns, "xmlns") X(xmlns_svg, "xmlns:svg") X(xmlns_xlink, "xmlns:xlink") \
    X(y, "y") X(y1, "y1") X(y2, "y2") X(yChannelSelector, "yChannelSelector") X(z, "z")                    \
    X(zoomAndPan, "zoomAndPan")
// clang-format on

enum class AttributeId : std::uint16_t {
    Unknown,
#define VEXO_ATTRIBUTE_ENUM(id, name) id,
    VEXO_SVG_ATTRIBUTES(VEXO_ATTRIBUTE_ENUM)
#undef VEXO_ATTRIBUTE_ENUM
};

// Exact, case-sensitive lookup of a qualified attribute name ("xlink:href"
// under the usual prefixes); Unknown for a name outside the list.
AttributeId AttributeIdFromName(std::string_view name);
std::string_view AttributeName(AttributeId id);

}  // namespace svg
