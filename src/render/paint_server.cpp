#include "render/paint_server.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "base/limits.h"
#include "model/messages.h"
#include "model/references.h"
#include "render/container.h"
#include "render/prepare.h"
#include "values/number.h"
#include "values/syntax.h"

namespace svg {

bool PaintPath(const CElem& server, CCanvas& canvas, const CGraphicsPath& path, const CElem& shape, bool isStroke,
               const RenderArgs& args, const CElem* boxOwner)
{
    switch (server.Class()) {
    case ElemClass::Gradient:
        return PaintWithGradient(static_cast<const CElemGradient&>(server), canvas, path, shape, isStroke, boxOwner);
    case ElemClass::Pattern:
        return PaintWithPattern(static_cast<const CElemPattern&>(server), canvas, path, shape, isStroke, args,
                                boxOwner);
    default: return false;  // the shape falls back
    }
}

std::vector<CElem*> HrefChain(CElem& server, CPreparer& preparer)
{
    // Loops are found by the chain itself rather than by preparation states,
    // so that every member of a loop sees the same elements whichever of
    // them was prepared first.
    std::vector<CElem*> chain{&server};
    CElem* elem = &server;
    CMessageLog& log = preparer.Log();
    while (const std::string* href = elem->GetAttribute(AttributeId::xlink_href, false)) {
        const bool ownLink = elem == &server;
        if (chain.size() == limits::kMaxHrefChain) {
            log.Report(server, msg::kHrefChainTooLong, server.Name().c_str());
            break;
        }
        CElem* target = preparer.FindReference(*elem, *href);
        if (target == nullptr) {
            if (ownLink)
                log.Report(*elem, msg::kHrefNotFound, elem->Name().c_str(), href->c_str());
            break;
        }
        if (std::find(chain.begin(), chain.end(), target) != chain.end()) {
            if (target == &server)
                log.Report(*elem, msg::kHrefCycle, elem->Name().c_str(), href->c_str());
            break;
        }
        if (target->prepState == PrepState::NotPrepared && !preparer.Prepare(*target))
            break;
        if (!IsSameKind(server, *target)) {
            if (ownLink)
                log.Report(*elem, msg::kHrefWrongElement, elem->Name().c_str(), href->c_str(), elem->Name().c_str());
            break;
        }
        chain.push_back(target);
        elem = target;
    }
    return chain;
}

const std::string* AttributeAlong(const std::vector<CElem*>& chain, AttributeId name, bool sameNameOnly)
{
    for (const CElem* elem : chain) {
        if (sameNameOnly && elem->Name() != chain.front()->Name())
            continue;
        if (const std::string* value = elem->GetAttribute(name, false))
            return value;
    }
    return nullptr;
}

Units ReadUnits(const CElem& server, const std::vector<CElem*>& chain, AttributeId name, Units absent,
                CPreparer& preparer)
{
    const std::string* text = AttributeAlong(chain, name);
    if (text == nullptr)
        return absent;
    if (const std::optional<Units> units = ParseUnits(*text))
        return *units;
    preparer.ReportInvalid(server, name, *text);
    return absent;
}

Matrix ReadTransformAlong(const CElem& server, const std::vector<CElem*>& chain, AttributeId name,
                          CPreparer& preparer)
{
    Matrix transform;
    const std::string* text = AttributeAlong(chain, name);
    if (text != nullptr && !ParseTransform(*text, transform))
        preparer.ReportInvalid(server, name, *text);
    return transform;
}

double ResolveInUnits(const CElem& server, Units units, const Number& number, PercentRule rule,
                      const CPreparer& preparer)
{
    if (units == Units::UserSpaceOnUse)
        return ResolveLength(number, rule, preparer.Lengths(server));
    return number.unit == Unit::Percent ? number.value / 100 : ToUserUnits(number, preparer.Lengths(server));
}

LengthAttribute ReadLengthAlong(const CElem& server, const std::vector<CElem*>& chain, AttributeId name,
                                Units units, PercentRule rule, CPreparer& preparer, bool sameNameOnly)
{
    LengthAttribute result{AttributeAlong(chain, name, sameNameOnly), std::nullopt};
    if (result.text == nullptr)
        return result;
    if (const std::optional<Number> number = ParseLength(*result.text))
        result.value = ResolveInUnits(server, units, *number, rule, preparer);
    else
        preparer.ReportInvalid(server, name, *result.text);
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

void PaintWithSource(CCanvas& canvas, const CGraphicsPath& item, const ResolvedProperties& style, bool isStroke,
                     cairo_pattern_t* source, double alpha)
{
    // An invalid source would put the whole context into cairo's error state.
    if (cairo_pattern_status(source) != CAIRO_STATUS_SUCCESS || !(alpha > 0) || item.Empty())
        return;
    if (isStroke && (!style.strokePen || !(style.strokePen->width > 0)))
        return;
    const CCanvasSaveGuard saved(canvas);
    // cairo cannot fade a source while filling or stroking: the paint is
    // composed as a (vector) group and faded once.
    const bool faded = alpha < 1;
    if (faded)
        canvas.BeginGroup();
    // Taken after BeginGroup, which may give the canvas a context of its own.
    cairo_t* cr = canvas.Cairo();
    canvas.SetPath(item, isStroke ? CCanvas::PathUse::Stroke : CCanvas::PathUse::Fill);
    cairo_set_source(cr, source);
    if (isStroke) {
        canvas.StrokePath(item, *style.strokePen);
    } else {
        cairo_set_fill_rule(cr, item.fillRule == FillRule::EvenOdd ? CAIRO_FILL_RULE_EVEN_ODD
                                                                      : CAIRO_FILL_RULE_WINDING);
        cairo_fill(cr);
    }
    if (faded)
        canvas.EndGroup(alpha);
}

}  // namespace svg
