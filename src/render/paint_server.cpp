#include "render/paint_server.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "model/limits.h"
#include "model/message_log.h"
#include "render/container.h"
#include "values/number.h"
#include "values/syntax.h"

namespace svg {
namespace {

bool IsGradient(const CElem& elem)
{
    return elem.Id() == ElementId::linearGradient || elem.Id() == ElementId::radialGradient;
}

bool IsSameKind(const CElem& a, const CElem& b)
{
    return a.Name() == b.Name() || (IsGradient(a) && IsGradient(b));
}

}  // namespace

// The base server paints nothing and lets the shape fall back.
bool CElemPaint::PaintPath(CCanvas&, const CGraphicsPath&, const CElem&, bool, const RenderArgs&) { return false; }

std::vector<CElem*> HrefChain(CElem& server)
{
    // Loops are found by the chain itself rather than by preparation states,
    // so that every member of a loop sees the same elements whichever of
    // them was prepared first.
    std::vector<CElem*> chain{&server};
    CElem* elem = &server;
    while (const std::string* href = elem->GetAttribute("xlink:href", false)) {
        const bool ownLink = elem == &server;
        if (chain.size() == limits::kMaxHrefChain) {
            ReportMessage("E %s xlink:href chain too long at %d(%d)", server.Name().c_str(), server.line,
                          server.column);
            break;
        }
        CElem* target = elem->FindReference(*href);
        if (target == nullptr) {
            if (ownLink)
                ReportMessage("E %s xlink:href=\"%s\" :Link NOT found at %d(%d)", elem->Name().c_str(),
                              href->c_str(), elem->line, elem->column);
            break;
        }
        if (std::find(chain.begin(), chain.end(), target) != chain.end()) {
            if (target == &server)
                ReportMessage("F %s xlink:href=\"%s\" : Cyclic reference at %d(%d)", elem->Name().c_str(),
                              href->c_str(), elem->line, elem->column);
            break;
        }
        if (target->prepState == PrepState::NotPrepared && !target->Prepare())
            break;
        if (!IsSameKind(server, *target)) {
            if (ownLink)
                ReportMessage("E %s xlink:href=\"%s\" :NOT refer to element '%s' at %d(%d)", elem->Name().c_str(),
                              href->c_str(), elem->Name().c_str(), elem->line, elem->column);
            break;
        }
        chain.push_back(target);
        elem = target;
    }
    return chain;
}

const std::string* AttributeAlong(const std::vector<CElem*>& chain, std::string_view name, bool sameNameOnly)
{
    for (const CElem* elem : chain) {
        if (sameNameOnly && elem->Name() != chain.front()->Name())
            continue;
        if (const std::string* value = elem->GetAttribute(name, false))
            return value;
    }
    return nullptr;
}

int ReadUnits(const CElem& server, const std::vector<CElem*>& chain, std::string_view name, int absent)
{
    const std::string* text = AttributeAlong(chain, name);
    if (text == nullptr)
        return absent;
    const int units = ParseUnitsKeyword(text);
    if (units == 0 || units == 1)
        return units;
    ReportInvalidValue(server, name, *text);
    return absent;
}

Matrix ReadTransformAlong(const CElem& server, const std::vector<CElem*>& chain, std::string_view name)
{
    Matrix transform;
    const std::string* text = AttributeAlong(chain, name);
    if (text != nullptr && !ParseTransform(*text, transform))
        ReportInvalidValue(server, name, *text);
    return transform;
}

double ResolveInUnits(const CElem& server, int units, const Number& number, PercentRule rule)
{
    if (units == 1)
        return ResolveLength(number, rule, &server);
    return number.unit == Unit::Percent ? number.value / 100 : ToUserUnits(number, &server);
}

LengthAlong ReadLengthAlong(const CElem& server, const std::vector<CElem*>& chain, std::string_view name,
                            int units, PercentRule rule, bool sameNameOnly)
{
    LengthAlong result{AttributeAlong(chain, name, sameNameOnly), std::nullopt};
    if (result.text == nullptr)
        return result;
    std::size_t pos = 0;
    const std::optional<Number> number = ParseNumber(*result.text, pos);
    if (number && SkipSpace(*result.text, pos) == result.text->size())
        result.value = ResolveInUnits(server, units, *number, rule);
    else
        ReportInvalidValue(server, name, *result.text);
    return result;
}

std::optional<double> ReadFraction(std::string_view text)
{
    std::size_t pos = 0;
    const std::optional<Number> number = ParseNumber(text, pos);
    if (!number || SkipSpace(text, pos) != text.size())
        return std::nullopt;
    if (number->unit == Unit::Percent)
        return number->value / 100;
    // "0.5px" reads as user units too, but is a length, not a number.
    const bool unitWritten = std::isalpha(static_cast<unsigned char>(text[pos - 1])) != 0;
    if (number->unit == Unit::User && !unitWritten)
        return number->value;
    return std::nullopt;
}

std::optional<Matrix> Invert(const Matrix& m)
{
    // Nearly singular maps (a paint squeezed to nothing) count as singular here.
    if (!std::isfinite(m.Determinant()) || std::fabs(m.Determinant()) < 1e-12)
        return std::nullopt;
    return m.Inverse();
}

Matrix BoxMatrix(const RectF& box) { return {box.width, 0, 0, box.height, box.x, box.y}; }

const ResolvedProperties& ItemStyle(const CGraphicsPath& item, const CElem& shape)
{
    return item.owner != nullptr ? item.owner->props : shape.props;
}

void PaintWithSource(CCanvas& canvas, const CGraphicsPath& item, const ResolvedProperties& style, bool isStroke,
                     cairo_pattern_t* source, double alpha)
{
    // An invalid source would put the whole context into cairo's error state.
    if (cairo_pattern_status(source) != CAIRO_STATUS_SUCCESS || !(alpha > 0) || item.Empty())
        return;
    if (isStroke && (!style.strokePen || !(style.strokePen->width > 0)))
        return;
    const CanvasSaveGuard saved(canvas);
    cairo_t* cr = canvas.Cairo();
    // cairo cannot fade a source while filling or stroking: the paint is
    // composed as a (vector) group and faded once.
    const bool faded = alpha < 1;
    if (faded)
        canvas.BeginGroup();
    canvas.SetPath(item);
    cairo_set_source(cr, source);
    if (isStroke) {
        canvas.StrokePath(item, *style.strokePen);
    } else {
        cairo_set_fill_rule(cr, item.fillMode == FillMode::Alternate ? CAIRO_FILL_RULE_EVEN_ODD
                                                                      : CAIRO_FILL_RULE_WINDING);
        cairo_fill(cr);
    }
    if (faded)
        canvas.EndGroup(alpha);
}

}  // namespace svg
