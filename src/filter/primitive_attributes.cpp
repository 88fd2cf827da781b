#include "filter/primitive_attributes.h"

#include <cmath>

#include "model/attribute_reader.h"
#include "values/number.h"
#include "values/scan.h"

namespace svg {
namespace {

// Every number of `text`; null when something else is in it. The numbers of
// a primitive are plain: "5", never "5px" or "5%".
std::optional<std::vector<float>> ParsePlainNumbers(std::string_view text)
{
    std::vector<float> values;
    std::size_t pos = SkipSpace(text, 0);
    while (pos < text.size()) {
        const std::optional<Number> number = ParseNumber(text, pos);
        const char last = pos > 0 ? text[pos - 1] : ' ';
        const bool plain = (last >= '0' && last <= '9') || last == '.';
        if (!number || !plain || number->unit != Unit::User || !std::isfinite(number->value))
            return std::nullopt;
        values.push_back(static_cast<float>(number->value));
        pos = SkipSeparator(text, pos);
    }
    return values;
}

}  // namespace

const std::string* PrimitiveAttribute(const CElem& elem, AttributeId attribute)
{
    return elem.GetAttribute(attribute, false);
}

std::optional<float> ReadPrimitiveNumber(const CElem& elem, AttributeId attribute, CLoadContext& context)
{
    const std::string* text = PrimitiveAttribute(elem, attribute);
    if (text == nullptr)
        return std::nullopt;
    const std::optional<std::vector<float>> values = ParsePlainNumbers(*text);
    if (values && values->size() == 1)
        return values->front();
    ReportInvalidValue(elem, attribute, *text, context);
    return std::nullopt;
}

std::optional<std::vector<float>> ReadPrimitiveNumbers(const CElem& elem, AttributeId attribute,
                                                       CLoadContext& context)
{
    const std::string* text = PrimitiveAttribute(elem, attribute);
    if (text == nullptr)
        return std::nullopt;
    std::optional<std::vector<float>> values = ParsePlainNumbers(*text);
    if (!values)
        ReportInvalidValue(elem, attribute, *text, context);
    return values;
}

std::optional<NumberPair> ReadNumberPair(const CElem& elem, AttributeId attribute, CLoadContext& context)
{
    const std::string* text = PrimitiveAttribute(elem, attribute);
    if (text == nullptr)
        return std::nullopt;
    const std::optional<std::vector<float>> values = ParsePlainNumbers(*text);
    if (values && (values->size() == 1 || values->size() == 2))
        return NumberPair{values->front(), values->back()};
    ReportInvalidValue(elem, attribute, *text, context);
    return std::nullopt;
}

}  // namespace svg
