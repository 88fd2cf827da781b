// A fixture for text layout tests: loads a body into a root whose text is
// DejaVu Sans at 20 and reads back the laid-out result of a text element:
// its characters, paint items and glyph cells (as axis-aligned boxes).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "model/document.h"
#include "test_support.h"
#include "text/text_layout.h"

namespace vexo_test {

using svg::CElem;
using svg::CElemDocument;
using svg::CLaidOutText;
using svg::LaidOut;
using svg::PointF;
using svg::RectF;
using svg::TextGlyphCell;

class TextLayoutProbe : public LoadTest {
protected:
    // The body goes in a 400 x 200 root whose text is DejaVu Sans at 20.
    CElemDocument* Load(const std::string& body, const std::string& rootAttributes = "")
    {
        NewLoad();
        document_ = LoadText("<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink' "
                             "width='400' height='200' font-family='DejaVu Sans' font-size='20' " +
                             rootAttributes + ">" + body + "</svg>");
        EXPECT_NE(document_, nullptr);
        return document_;
    }

    const CLaidOutText& Layout(const std::string& id)
    {
        static const CLaidOutText empty;
        const CElem* elem = Find("#" + id);
        EXPECT_NE(elem, nullptr) << id;
        const CLaidOutText* layout = elem != nullptr ? LaidOut(*elem) : nullptr;
        EXPECT_NE(layout, nullptr) << id;
        return layout != nullptr ? *layout : empty;
    }

    std::u32string Text(const std::string& id) { return Layout(id).text; }

    // Each cell's axis-aligned bounds, in the order the glyphs were laid out.
    std::vector<RectF> Boxes(const std::string& id)
    {
        std::vector<RectF> boxes;
        for (const TextGlyphCell& cell : Layout(id).cells) {
            float left = cell.corners[0].x, right = left, top = cell.corners[0].y, bottom = top;
            for (const PointF& p : cell.corners) {
                left = std::min(left, p.x), right = std::max(right, p.x);
                top = std::min(top, p.y), bottom = std::max(bottom, p.y);
            }
            boxes.push_back({left, top, right - left, bottom - top});
        }
        return boxes;
    }

    std::vector<float> Lefts(const std::string& id)
    {
        std::vector<float> lefts;
        for (const RectF& box : Boxes(id))
            lefts.push_back(box.x);
        return lefts;
    }

    // The advance of `text` laid out alone at the document's font size.
    float Width(const std::string& text, const std::string& style = "")
    {
        const std::string body = "<text id='w' " + style + ">" + text + "</text>";
        Load(body);
        const std::vector<RectF> boxes = Boxes("w");
        return boxes.empty() ? 0 : boxes.back().Right() - boxes.front().x;
    }

    CElemDocument* document_ = nullptr;
};

}  // namespace vexo_test
