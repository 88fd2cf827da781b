// Numbers with units, number lists and their conversion to user units. The
// parsers work on views of the attribute text and never allocate; they
// report nothing: callers report an invalid value with their own message.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "values/rect.h"
#include "values/scan.h"

namespace svg {

enum class Unit : int {
    Percent = 1,
    User = 2,  // "px" or no unit
    Pt = 3,
    Pc = 4,
    Mm = 5,
    Cm = 6,
    In = 7,
    Em = 8,
    Ex = 9,
    Deg = 10,
    Rad = 11,
    Grad = 12,
    Hz = 13,
    KHz = 14,  // also "ms"
};

struct Number {
    Unit unit = Unit::User;
    double value = 0;
};

// --- Numbers ----------------------------------------------------------------

// One number and its unit from `pos` on (leading white space skipped); on
// success `pos` is left after the unit, on failure it is unchanged. An unknown
// unit is not consumed. Values are finite: magnitudes beyond the float range
// are clamped to +-FLT_MAX (values stored in float fields stay finite), and
// values too small for a double become 0.
std::optional<Number> ParseNumber(std::string_view text, std::size_t& pos);
// The first number of `text`; whatever follows it is ignored.
std::optional<Number> ParseNumber(std::string_view text);

// Numbers separated by white space and at most one comma; stops at the first
// position where no number can be read. Returns how many were appended.
std::size_t ParseNumberList(std::string_view text, std::vector<Number>& out);

// What a length is resolved against: the resolution for absolute units, the
// font size and x-height (in user units) for em and ex, and the viewport for
// percentages. The defaults are those of a document without settings:
// 96 dpi, a 15.5 unit font with an x-height of 5, an 800 x 600 viewport.
struct LengthContext {
    double dpi = 96;
    double fontSize = 15.5;
    double xHeight = 5;
    RectF viewport{0, 0, 800, 600};
};

// Absolute units by the resolution; em and ex by the font size and x-height;
// every other unit, percentages included, gives the value itself. Like the
// lengths below, the result is clamped to +-FLT_MAX.
double ToUserUnits(const Number& number, const LengthContext& context);

// How a percentage resolves against the viewport.
enum class PercentRule {
    HorizontalPosition,
    VerticalPosition,
    HorizontalSize,
    VerticalSize,
    Diagonal,  // stroke widths, dashes: of sqrt(w^2 + h^2) / sqrt(2)
};
double ResolveLength(const Number& number, PercentRule rule, const LengthContext& context);

// A whole attribute value that is one length: a number, its unit, and then
// nothing but blanks ("10abc" is not a length). Null otherwise.
std::optional<Number> ParseLength(std::string_view text);

// Degrees from deg (or no unit), rad or grad.
double ToDegrees(const Number& number);

}  // namespace svg
