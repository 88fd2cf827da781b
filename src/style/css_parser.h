// The CSS style-sheet parser: a sheet's UTF-8 text in, rulesets with parsed
// selectors and declaration blocks out (CSS 2.1 syntax with the SVG property
// set), @import and @media followed, @font-face rules handed to a font pool.
// Problems are reported to the log given and drop only the selector,
// declaration or rule concerned; nothing throws. Cost is linear in the text
// plus the imported files, whose number and nesting are bounded. One parse
// runs on one thread; it stops between statements when its stop token is set.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace svg {
class CLoadContext;
class CMessageLog;
class CStopToken;
}  // namespace svg

namespace svg::css {

class CCssFontPool;
struct CCssFontFace;

// --- The rule model ---------------------------------------------------------------

enum class ModifierKind { Class = 0, Id = 1, Pseudo = 2, Attrib = 3 };
enum class AttribOperator { Present, Equals, Includes, DashMatch };

// One condition of a compound selector.
struct CModifier {
    ModifierKind kind = ModifierKind::Class;
    std::string name;   // the class, id, pseudo-class or attribute name
    std::string value;  // the pseudo-class argument, or the attribute value without quotes
    AttribOperator op = AttribOperator::Present;
    // The attribute value was written as a string: compared with regard to
    // case; an unquoted value is compared without.
    bool quoted = false;
};
using CModifiers = std::vector<CModifier>;

// A compound selector: an element name and its conditions.
struct CSimpleSelector {
    std::string element = "*";  // a qualified name, or "*"
    CModifiers modifiers;
    int specificity = 0;
};

struct CSelector {
    std::vector<CSimpleSelector> compounds;
    // One character per junction: ' ' descendant, '>' child, '+' adjacent
    // sibling; combinators[k] joins compounds k and k + 1.
    std::string combinators;
    int specificity = 0;  // the sum of the compounds'
};
using CSelectors = std::vector<CSelector>;

struct CDeclaration {
    std::string name;  // lower case when it names a property
    std::string value;  // trimmed
    bool important = false;
    int property = -1;  // PropertyIndex(name)
};
using CDeclarations = std::vector<CDeclaration>;

struct CRuleset {
    CSelector selector;
    // Shared by the rulesets of one comma-separated selector group.
    std::shared_ptr<const CDeclarations> declarations;
    int sequence = 0;  // position among the rulesets of the sheet, from 0
};

class CRulesets {
public:
    void Add(CSelector selector, std::shared_ptr<const CDeclarations> declarations);
    // Cascade order: ascending specificity, sheet order among equals.
    void SortBySpecificity();
    const std::vector<CRuleset>& Items() const { return rulesets_; }
    std::size_t Size() const { return rulesets_.size(); }

private:
    std::vector<CRuleset> rulesets_;
    int nextSequence_ = 0;
};

using CMediaList = std::vector<std::string>;

// --- The properties a sheet may set -------------------------------------------------

// The SVG 1.1 property index: 59 properties and the two shorthands `font` and
// `marker`. Only these are cascaded; CSS cannot set other attributes.
inline constexpr int kCssPropertyCount = 61;
// Index of `name` (compared without regard to case), or -1.
int PropertyIndex(std::string_view name);
// The lower-case name of property `index`.
std::string_view PropertyName(int index);
// What the `marker` shorthand stands for. It exists only in CSS (sheets and
// `style`), where it is written as these three; an attribute of that name is
// no presentation attribute and sets nothing.
inline constexpr std::string_view kMarkerLonghands[] = {"marker-start", "marker-mid", "marker-end"};

// --- Parsing ------------------------------------------------------------------------

// The sheets being parsed in one load, for the bounds on @import.
struct CImportState {
    std::vector<std::string> chain;  // full paths, outermost first: an @import of one of them is a cycle
    std::size_t importedSheets = 0;  // files read by @import so far
    // The load whose files @import may read (confined to its folders, see
    // model/resource_file.h); without one, @import reads nothing.
    CLoadContext* load = nullptr;
};

// Parses `text` (the sheet at `baseUrl`, which resolves its relative
// @import addresses) for `medium` (empty: every medium) and adds its rulesets
// to `rulesets`, sorted by SortBySpecificity afterwards. @font-face rules go to
// `fontPool` when it is not null. False when `stop` ended the parse; what was
// parsed so far stays.
bool parseSheet(std::string_view text, const std::string& baseUrl, const std::string& medium,
                CCssFontPool* fontPool, CImportState& imports, CRulesets& rulesets, CMessageLog& log,
                const CStopToken& stop);

// Reads and decodes the sheet file at `path` for `load` (@charset rule or
// byte-order mark, else `defaultEncoding`, else UTF-8). Null when it cannot
// be read or decoded; a file the load may not read, or that is no regular
// file or too large, is reported naming `reference` (as written).
std::optional<std::string> loadSheetFile(CLoadContext& load, const std::string& path, std::string_view reference,
                                         const std::string& defaultEncoding);

// The sub-parsers, on pieces of a sheet. Their warnings go to `log`, or
// nowhere when it is null.
// A comma-separated selector group; false (with a warning) when any selector is invalid.
bool ParseSelectorGroup(std::string_view text, CSelectors& selectors, CMessageLog* log);
// A block from "{" on; null when it holds no valid declaration.
std::shared_ptr<CDeclarations> ParseDeclarationBlock(std::string_view text, CMessageLog* log);
// Declarations without braces, as a `style` attribute holds them; empty when
// none is valid.
CDeclarations ParseDeclarationList(std::string_view text, CMessageLog* log);
// Comma-separated media names; empty when the text starts with none.
CMediaList ParseMediaList(std::string_view text);
// True when `medium` is empty or the list names "all" or it (without regard to case).
bool MediaListMatches(const CMediaList& media, std::string_view medium);
// The block of an @font-face rule, from "{" on.
CCssFontFace ParseFontFace(std::string_view block, const std::string& sheetPath, CMessageLog* log);

}  // namespace svg::css
