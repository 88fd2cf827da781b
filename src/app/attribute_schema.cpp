#include "app/attribute_schema.h"
#include "app/resources.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace vexo {
namespace {

constexpr std::size_t kColumns = 6;
const char* const kResourcePath = ":/attribute_schema.tsv";

std::vector<std::string_view> SplitColumns(std::string_view line)
{
    std::vector<std::string_view> columns;
    std::size_t start = 0;
    while (true) {
        const std::size_t tab = line.find('\t', start);
        columns.push_back(line.substr(start, tab - start));
        if (tab == std::string_view::npos)
            return columns;
        start = tab + 1;
    }
}

// "0x10000", "0xffff", "1" or "0"; false for anything else.
bool ParseFlags(std::string_view text, std::uint32_t& flags)
{
    if (text.empty())
        return false;
    const std::string copy(text);
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(copy.c_str(), &end, 0);
    if (errno != 0 || end != copy.c_str() + copy.size() || value > 0xffffffffUL || copy.front() == '-')
        return false;
    flags = static_cast<std::uint32_t>(value);
    return true;
}

}  // namespace

CAttributeSchema::CAttributeSchema(std::string_view tableText)
{
    int lineNumber = 0;
    std::size_t start = 0;
    std::string currentOwner;
    while (start < tableText.size()) {
        std::size_t end = tableText.find('\n', start);
        if (end == std::string_view::npos)
            end = tableText.size();
        std::string_view line = tableText.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (line.empty() || line.starts_with("//"))
            continue;

        const std::vector<std::string_view> columns = SplitColumns(line);
        SchemaRow row;
        if (columns.size() != kColumns || columns[0].empty() || columns[1].empty() ||
            !ParseFlags(columns[5], row.flags)) {
            problems_.push_back("line " + std::to_string(lineNumber) + ": not a row of six columns");
            continue;
        }
        row.owner = columns[0];
        row.attribute = columns[1];
        row.category = columns[2];
        row.valueType = columns[3];
        row.defaultValue = columns[4];

        if (row.owner != currentOwner) {
            if (runs_.contains(row.owner))
                problems_.push_back("line " + std::to_string(lineNumber) + ": the rows of " + row.owner +
                                    " continue after another owner; only the first run counts");
            else
                runs_.emplace(row.owner, std::pair(rows_.size(), rows_.size()));
        }
        auto run = runs_.find(row.owner);
        if (run->second.second == rows_.size())
            run->second.second = rows_.size() + 1;
        rows_.push_back(std::move(row));
        currentOwner = rows_.back().owner;
    }
}

const CAttributeSchema& CAttributeSchema::Instance()
{
    static const CAttributeSchema schema = [] {
        InitResources();
        QFile file(QString::fromLatin1(kResourcePath));
        if (!file.open(QIODevice::ReadOnly))
            return CAttributeSchema("");
        const QByteArray text = file.readAll();
        return CAttributeSchema(std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
    }();
    return schema;
}

bool CAttributeSchema::HasOwner(std::string_view owner) const { return runs_.contains(std::string(owner)); }

std::vector<std::string> CAttributeSchema::Owners() const
{
    std::vector<std::string> owners;
    for (const SchemaRow& row : rows_)
        if (owners.empty() || owners.back() != row.owner)
            owners.push_back(row.owner);
    return owners;
}

std::vector<const SchemaRow*> CAttributeSchema::RowsFor(std::string_view owner) const
{
    std::vector<const SchemaRow*> out;
    std::vector<std::string_view> expanding;
    AppendRows(owner, expanding, out);
    return out;
}

void CAttributeSchema::AppendRows(std::string_view owner, std::vector<std::string_view>& expanding,
                                 std::vector<const SchemaRow*>& out) const
{
    const auto run = runs_.find(std::string(owner));
    if (run == runs_.end())
        return;
    expanding.push_back(owner);
    for (std::size_t i = run->second.first; i < run->second.second; ++i) {
        const SchemaRow& row = rows_[i];
        if (!row.IsGroupReference())
            out.push_back(&row);
        else if (std::find(expanding.begin(), expanding.end(), row.attribute) == expanding.end())
            AppendRows(row.attribute, expanding, out);
    }
    expanding.pop_back();
}

std::vector<const SchemaRow*> SchemaRowsFor(std::string_view elementName)
{
    return CAttributeSchema::Instance().RowsFor(elementName);
}

}  // namespace vexo
