// The attribute schema: which attributes each SVG 1.1 element accepts and the
// category the attribute grid lists each one under. The table is data
// (resources/attribute_schema.tsv, whose header explains the columns); it is
// parsed once, on first use, and read-only afterwards. An owner is an element
// name or a collection name beginning with '#'; a row whose attribute begins
// with '#' stands for that collection's rows. Lookups of unknown names give
// an empty list, never an error.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace vexo {

inline constexpr std::uint32_t kSchemaStyleProperty = 0x1;
inline constexpr std::uint32_t kSchemaGroupReference = 0xffff;
inline constexpr std::uint32_t kSchemaRequired = 0x10000;

struct SchemaRow {
    std::string owner;
    std::string attribute;
    std::string category;
    // ">Type" for a data type, or the allowed values separated by '|'.
    std::string valueType;
    std::string defaultValue;
    std::uint32_t flags = 0;

    bool IsGroupReference() const { return attribute.starts_with('#'); }
    bool Required() const { return (flags & kSchemaRequired) != 0; }
    bool StyleProperty() const { return !IsGroupReference() && (flags & kSchemaStyleProperty) != 0; }
};

class CAttributeSchema {
public:
    // Parses the table text. Lines that do not have six columns or whose
    // flags are not a number are skipped and described in Problems(), as is
    // an owner whose rows are split into two runs (only the first counts).
    explicit CAttributeSchema(std::string_view tableText);

    // The table of the application resources.
    static const CAttributeSchema& Instance();

    const std::vector<SchemaRow>& Rows() const { return rows_; }
    const std::vector<std::string>& Problems() const { return problems_; }
    bool HasOwner(std::string_view owner) const;
    // Owners in table order.
    std::vector<std::string> Owners() const;

    // The rows of `owner` in table order, each collection row replaced by the
    // collection's rows, recursively. A collection already being expanded
    // (a cycle) or missing from the table contributes nothing.
    std::vector<const SchemaRow*> RowsFor(std::string_view owner) const;

private:
    void AppendRows(std::string_view owner, std::vector<std::string_view>& expanding,
                    std::vector<const SchemaRow*>& out) const;

    std::vector<SchemaRow> rows_;
    std::vector<std::string> problems_;
    // Owner to its run of rows [first, second).
    std::unordered_map<std::string, std::pair<std::size_t, std::size_t>> runs_;
};

// CAttributeSchema::Instance().RowsFor(elementName).
std::vector<const SchemaRow*> SchemaRowsFor(std::string_view elementName);

}  // namespace vexo
