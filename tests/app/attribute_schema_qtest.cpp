// The attribute schema: the shipped table covers every SVG 1.1 element with
// well-formed, resolvable rows, and the parser copes with malformed tables.
#include <QtTest>

#include <algorithm>
#include <set>
#include <string>

#include "app/attribute_schema.h"

using vexo::CAttributeSchema;
using vexo::SchemaRow;

namespace {

const std::set<std::string> kSvg11Elements = {
    "svg", "g", "defs", "desc", "title", "metadata", "symbol", "use", "switch", "image", "style", "path",
    "rect", "circle", "line", "ellipse", "polyline", "polygon", "text", "tspan", "tref", "textPath",
    "altGlyph", "altGlyphDef", "altGlyphItem", "glyphRef", "marker", "color-profile", "linearGradient",
    "radialGradient", "stop", "pattern", "clipPath", "mask", "filter", "feBlend", "feColorMatrix",
    "feComponentTransfer", "feComposite", "feConvolveMatrix", "feDiffuseLighting", "feDisplacementMap",
    "feFlood", "feGaussianBlur", "feImage", "feMerge", "feMergeNode", "feMorphology", "feOffset",
    "feSpecularLighting", "feTile", "feTurbulence", "feFuncR", "feFuncG", "feFuncB", "feFuncA",
    "feDistantLight", "fePointLight", "feSpotLight", "cursor", "a", "view", "script", "animate", "set",
    "animateMotion", "animateColor", "animateTransform", "mpath", "font", "glyph", "missing-glyph", "hkern",
    "vkern", "font-face", "font-face-src", "font-face-uri", "font-face-format", "font-face-name",
    "definition-src", "foreignObject"};

const std::set<std::string> kCategories = {
    "ANIMATION", "CLIP SETTINGS", "CONDITION", "EVENT", "FILTER SETTINGS", "FONT", "GLYPH SHAPE",
    "GRADIENT SETTINGS", "ID", "INFO", "INPUT", "MARKER", "POSITION", "SCRIPT SETTINGS", "SETTING",
    "STYLE", "STYLE SHEET", "TEXT STYLE", "VIEWPORT", "XLINK SETTINGS", "Value"};

const SchemaRow* FindRow(const std::vector<const SchemaRow*>& rows, const std::string& attribute)
{
    const auto found =
        std::find_if(rows.begin(), rows.end(), [&](const SchemaRow* row) { return row->attribute == attribute; });
    return found == rows.end() ? nullptr : *found;
}

std::vector<std::string> Attributes(const std::vector<const SchemaRow*>& rows)
{
    std::vector<std::string> names;
    for (const SchemaRow* row : rows)
        names.push_back(row->attribute);
    return names;
}

}  // namespace

class AttributeSchemaTest : public QObject {
    Q_OBJECT
private slots:
    void tableCoversEveryElementOnce()
    {
        const CAttributeSchema& schema = CAttributeSchema::Instance();
        QVERIFY2(schema.Problems().empty(), schema.Problems().empty() ? "" : schema.Problems().front().c_str());
        QCOMPARE(kSvg11Elements.size(), std::size_t(81));

        std::set<std::string> elementOwners;
        for (const std::string& owner : schema.Owners())
            if (!owner.starts_with('#'))
                QVERIFY2(elementOwners.insert(owner).second, owner.c_str());
        QVERIFY(elementOwners == kSvg11Elements);
        for (const std::string& element : kSvg11Elements)
            QVERIFY2(!vexo::SchemaRowsFor(element).empty(), element.c_str());
    }

    void rowsAreWellFormed()
    {
        const CAttributeSchema& schema = CAttributeSchema::Instance();
        std::set<std::pair<std::string, std::string>> pairs;
        std::set<std::string> referenced;
        for (const SchemaRow& row : schema.Rows()) {
            const std::string where = row.owner + " " + row.attribute;
            QVERIFY2(pairs.emplace(row.owner, row.attribute).second, ("duplicate " + where).c_str());
            if (row.IsGroupReference()) {
                QVERIFY2(schema.HasOwner(row.attribute), ("unresolved " + where).c_str());
                QCOMPARE(row.flags, vexo::kSchemaGroupReference);
                QVERIFY(row.category.empty());
                referenced.insert(row.attribute);
                continue;
            }
            QVERIFY2(kCategories.contains(row.category), ("category of " + where).c_str());
            const bool typed = row.valueType.size() > 1 && row.valueType.find(' ') == std::string::npos;
            QVERIFY2(typed, ("type of " + where).c_str());
            QVERIFY2(row.flags == 0 || row.flags == vexo::kSchemaStyleProperty || row.flags == vexo::kSchemaRequired,
                     ("flags of " + where).c_str());
        }
        // Every collection is used somewhere.
        for (const std::string& owner : schema.Owners())
            if (owner.starts_with('#'))
                QVERIFY2(referenced.contains(owner), owner.c_str());
        QVERIFY(schema.Rows().size() > 800);
    }

    void rectFollowsTheDtd()
    {
        const CAttributeSchema& schema = CAttributeSchema::Instance();
        std::vector<std::string> references;
        for (const SchemaRow& row : schema.Rows())
            if (row.owner == "rect" && row.IsGroupReference())
                references.push_back(row.attribute);
        const std::vector<std::string> expected = {"#Core", "#Conditional", "#Style", "#Paint", "#Color",
                                                   "#Opacity", "#Graphics", "#Clip", "#Mask", "#Filter",
                                                   "#GraphicalEvents", "#Cursor", "#External"};
        QVERIFY(references == expected);

        const std::vector<const SchemaRow*> rows = vexo::SchemaRowsFor("rect");
        for (const char* name : {"x", "y", "width", "height", "rx", "ry", "transform"}) {
            const SchemaRow* row = FindRow(rows, name);
            QVERIFY2(row != nullptr, name);
            QCOMPARE(row->category, std::string("POSITION"));
            QCOMPARE(row->owner, std::string("rect"));
        }
        QCOMPARE(FindRow(rows, "x")->valueType, std::string(">Coordinate"));
        QCOMPARE(FindRow(rows, "x")->defaultValue, std::string("0"));
        QVERIFY(FindRow(rows, "width")->Required());
        QCOMPARE(FindRow(rows, "width")->valueType, std::string(">Length"));
        QVERIFY(!FindRow(rows, "rx")->Required());
        QVERIFY(FindRow(rows, "marker-start") == nullptr);  // markers belong to path-like shapes only

        // Expansion keeps table order: #Core's id first, the own rows last.
        QCOMPARE(rows.front()->attribute, std::string("id"));
        QCOMPARE(rows.back()->attribute, std::string("transform"));

        const SchemaRow* fill = FindRow(rows, "fill");
        QVERIFY(fill != nullptr);
        QCOMPARE(fill->owner, std::string("#Paint"));
        QVERIFY(fill->StyleProperty());
        QCOMPARE(fill->category, std::string("STYLE"));
        QVERIFY(!FindRow(rows, "id")->StyleProperty());
    }

    void spotChecksAcrossModules()
    {
        const struct {
            const char* element;
            const char* attribute;
            const char* category;
        } kRows[] = {{"feGaussianBlur", "in", "INPUT"},     {"use", "xlink:href", "XLINK SETTINGS"},
                     {"text", "font-size", "TEXT STYLE"},   {"style", "type", "STYLE SHEET"},
                     {"script", "type", "SCRIPT SETTINGS"}, {"glyph", "d", "GLYPH SHAPE"}};
        for (const auto& expected : kRows) {
            const SchemaRow* row = FindRow(vexo::SchemaRowsFor(expected.element), expected.attribute);
            QVERIFY2(row != nullptr, expected.attribute);
            QCOMPARE(row->category, std::string(expected.category));
        }
        const std::vector<const SchemaRow*> blur = vexo::SchemaRowsFor("feGaussianBlur");
        QVERIFY(FindRow(blur, "stdDeviation") != nullptr);
        QVERIFY(FindRow(blur, "result") != nullptr);
        QVERIFY(FindRow(vexo::SchemaRowsFor("use"), "xlink:href")->owner.starts_with("#XLink"));
        QVERIFY(FindRow(vexo::SchemaRowsFor("use"), "fill") != nullptr);  // through #Presentation

        // Animation timing `fill` and the paint property `fill` stay apart.
        QCOMPARE(FindRow(vexo::SchemaRowsFor("animate"), "fill")->valueType, std::string("remove|freeze"));
        QVERIFY(FindRow(vexo::SchemaRowsFor("animate"), "xlink:href") != nullptr);
        QVERIFY(FindRow(vexo::SchemaRowsFor("stop"), "offset")->Required());
        QVERIFY(vexo::SchemaRowsFor("#string").empty());
        QVERIFY(vexo::SchemaRowsFor("unknownElement").empty());
    }

    void parserReportsBadLinesAndSurvivesCycles()
    {
        const CAttributeSchema schema(
            "// comment\r\n"
            "\n"
            "e\t#A\t\t\t\t0xffff\r\n"
            "e\t#Missing\t\t\t\t0xffff\n"
            "e\town\tPOSITION\t>Length\t0\t0x10000\n"
            "e\ttoo\tfew\tcolumns\n"
            "e\tbad\tSTYLE\t>Text\t\tzero\n"
            "#A\ta1\tSTYLE\t>Text\t\t1\n"
            "#A\t#B\t\t\t\t0xffff\n"
            "#B\tb1\tSTYLE\t>Text\t\t0\n"
            "#B\t#A\t\t\t\t0xffff\n"
            "e\tlate\tSTYLE\t>Text\t\t0");
        QCOMPARE(schema.Problems().size(), std::size_t(3));
        QVERIFY(schema.Problems()[0].starts_with("line 6:"));
        QVERIFY(schema.Problems()[1].starts_with("line 7:"));
        QVERIFY(schema.Problems()[2].starts_with("line 12:"));

        // The cycle #A -> #B -> #A ends; the missing collection adds nothing;
        // the late run of `e` does not count.
        const std::vector<const SchemaRow*> rows = schema.RowsFor("e");
        QVERIFY((Attributes(rows) == std::vector<std::string>{"a1", "b1", "own"}));
        QVERIFY(rows[2]->Required());
        QVERIFY(rows[0]->StyleProperty());
        QVERIFY((Attributes(schema.RowsFor("#B")) == std::vector<std::string>{"b1", "a1"}));
        QVERIFY(schema.RowsFor("nothing").empty());
        QVERIFY(CAttributeSchema("").Rows().empty());
    }
};

QTEST_GUILESS_MAIN(AttributeSchemaTest)
#include "attribute_schema_qtest.moc"
