// The smaller attribute syntaxes: url() references, preserveAspectRatio,
// unicode ranges, view boxes and enable-background. Keyword sets are in
// keywords.h. Nothing here reports: callers report invalid values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "values/number.h"
#include "values/rect.h"

namespace svg {

// "url(ref) fallback": the reference without quotes and blanks, and the text
// after ")" trimmed. Null when the text is not a url() value.
struct UrlValue {
    std::string_view reference;
    std::string_view fallback;
};
std::optional<UrlValue> ParseUrl(std::string_view text);

// preserveAspectRatio alignments; the order is x position * 3 + y position.
enum class AspectAlign : std::uint8_t {
    None,
    XMinYMin,
    XMinYMid,
    XMinYMax,
    XMidYMin,
    XMidYMid,
    XMidYMax,
    XMaxYMin,
    XMaxYMid,
    XMaxYMax,
};

// How many halves of the free space go before the viewBox: 0 for Min, 1
// for Mid, 2 for Max. Meaningless for None.
inline int AlignXPosition(AspectAlign align) { return (static_cast<int>(align) - 1) / 3; }
inline int AlignYPosition(AspectAlign align) { return (static_cast<int>(align) - 1) % 3; }

struct AspectRatio {
    bool defer = false;
    AspectAlign align = AspectAlign::XMidYMid;
    bool slice = false;
};
// An unknown alignment keeps the default. False (and the default) when
// "defer" is followed by nothing.
bool ParseAspectRatio(std::string_view text, AspectRatio& out);

struct UnicodeRange {
    std::uint32_t first = 0;
    std::uint32_t last = 0;
};
std::optional<UnicodeRange> ParseUnicodeRange(std::string_view text, std::size_t& pos);
// Ranges separated by white space and commas, up to the first that does not parse.
std::vector<UnicodeRange> ParseUnicodeRangeList(std::string_view text);

// The numbers of a viewBox value, resolved against `context`. `count` is
// how many numbers were read: the box is usable when it is at least 4, and
// a count other than 4 is an invalid value that the caller reports.
struct ViewBoxValue {
    RectF box;
    std::size_t count = 0;
};
ViewBoxValue ParseViewBox(std::string_view text, const LengthContext& context);

// enable-background: "new" (its first three letters in any case), alone or
// with exactly four numbers x y width height, width and height positive;
// anything else is accumulate (the initial value, which an invalid value
// leaves in place).
struct EnableBackground {
    bool isNew = false;
    std::optional<RectF> region;
};
EnableBackground ParseEnableBackground(std::string_view text);

}  // namespace svg
