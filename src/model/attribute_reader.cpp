#include "model/attribute_reader.h"

#include "model/elem.h"
#include "model/load_context.h"
#include "model/messages.h"

namespace svg {

void ReportInvalidValue(const CElem& elem, AttributeId attribute, const std::string& text,
                        const CLoadContext& context)
{
    const std::string_view name = AttributeName(attribute);
    context.Log().Report(elem, msg::kInvalidValue, elem.Name().c_str(), static_cast<int>(name.size()), name.data(),
                         text.c_str());
}

LengthContext LengthsOf(const CElem& elem, const CLoadContext& context)
{
    return elem.Lengths(context.Options().dpi);
}

LengthAttribute ReadLengthValue(const CElem& elem, AttributeId attribute, PercentRule rule,
                                const CLoadContext& context)
{
    LengthAttribute read{elem.GetAttribute(attribute, false), std::nullopt};
    if (read.text == nullptr)
        return read;
    if (const std::optional<Number> number = ParseLength(*read.text))
        read.value = ResolveLength(*number, rule, LengthsOf(elem, context));
    return read;
}

std::optional<double> ReadLengthAttribute(const CElem& elem, AttributeId attribute, PercentRule rule,
                                          const CLoadContext& context)
{
    const LengthAttribute read = ReadLengthValue(elem, attribute, rule, context);
    if (read.text != nullptr && !read.value)
        ReportInvalidValue(elem, attribute, *read.text, context);
    return read.value;
}

AspectRatio ReadAspectRatioAttribute(const CElem& elem, const CLoadContext& context)
{
    AspectRatio ratio;
    const std::string* text = elem.GetAttribute(AttributeId::preserveAspectRatio, false);
    if (text != nullptr && !ParseAspectRatio(*text, ratio))
        ReportInvalidValue(elem, AttributeId::preserveAspectRatio, *text, context);
    return ratio;
}

std::optional<RectF> ReadViewBoxAttribute(const CElem& elem, const CLoadContext& context)
{
    const std::string* text = elem.attributes.Value(AttributeId::viewBox);
    if (text == nullptr)
        return std::nullopt;
    const ViewBoxValue value = ParseViewBox(*text, LengthsOf(elem, context));
    if (value.count != 4)
        ReportInvalidValue(elem, AttributeId::viewBox, *text, context);
    if (value.count < 4)
        return std::nullopt;
    return value.box;
}

}  // namespace svg
