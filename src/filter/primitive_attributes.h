// Reading a filter primitive's own attributes: numbers, number lists and
// keywords, with the one message for a value that cannot be used ("E
// <element> <attribute>="<text>" :Invalid value", or a keyword's "Unknown"
// message). Internal to src/filter; used while a filter is prepared, on the
// loading thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/attribute_names.h"
#include "model/attribute_reader.h"
#include "model/elem.h"
#include "model/load_context.h"
#include "values/scan.h"

namespace svg {

// The attribute's text ("inherit" takes the parent's); null when absent.
const std::string* PrimitiveAttribute(const CElem& elem, AttributeId attribute);

// A number attribute: one plain number (no unit but px) and nothing else.
// Null when absent; null after the invalid-value message when unreadable.
std::optional<float> ReadPrimitiveNumber(const CElem& elem, AttributeId attribute, CLoadContext& context);

// A list of plain numbers separated by blanks or commas. Null when absent;
// null after the invalid-value message when any part is unreadable.
std::optional<std::vector<float>> ReadPrimitiveNumbers(const CElem& elem, AttributeId attribute,
                                                       CLoadContext& context);

// One or two numbers for x and y ("5" is "5 5"), as stdDeviation, radius,
// kernelUnitLength and baseFrequency are written. Null when absent; null
// after the invalid-value message when unreadable or of another count.
struct NumberPair {
    float x = 0;
    float y = 0;
};
std::optional<NumberPair> ReadNumberPair(const CElem& elem, AttributeId attribute, CLoadContext& context);

// A keyword attribute read by `parse`: the default when absent; the default
// after `unknownFormat` ("E %s <attribute>=\"%s\" Unknown") when unknown.
template <typename Keyword, typename Parser>
Keyword ReadPrimitiveKeyword(const CElem& elem, AttributeId attribute, Parser parse, Keyword fallback,
                             const char* unknownFormat, CLoadContext& context)
{
    const std::string* text = PrimitiveAttribute(elem, attribute);
    if (text == nullptr)
        return fallback;
    if (const std::optional<Keyword> keyword = parse(TrimSpace(*text)))
        return *keyword;
    context.Log().Report(elem, unknownFormat, elem.Name().c_str(), text->c_str());
    return fallback;
}

}  // namespace svg
