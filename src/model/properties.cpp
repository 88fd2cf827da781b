#include "model/properties.h"

namespace svg {
namespace {

const std::shared_ptr<const std::string>& EmptyText()
{
    static const std::shared_ptr<const std::string> empty = std::make_shared<const std::string>();
    return empty;
}

}  // namespace

SharedText::SharedText() : text_(EmptyText()) {}

SharedText::SharedText(std::string_view text)
    : text_(text.empty() ? EmptyText() : std::make_shared<const std::string>(text))
{
}

const SharedText& InitialColorText()
{
    static const SharedText black("rgb(0,0,0)");
    return black;
}

}  // namespace svg
