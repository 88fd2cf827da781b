// Conditional processing: `requiredFeatures`, `requiredExtensions` and
// `systemLanguage` decide whether an element takes part in rendering, and a
// `switch` renders only its first graphics child whose conditions hold. The
// tests run while a tree is prepared and leave their verdict in the
// elements' `excluded` marks; nothing else in the tree changes. The attribute
// values met while rendering are collected, each once, and reported when a
// load ends, so the user can see which languages a document offers.
#pragma once

#include <array>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>

namespace svg {

class CElem;
class CMessageLog;

enum class ConditionalAttribute { RequiredFeatures, RequiredExtensions, SystemLanguage };

// "requiredFeatures", "requiredExtensions" or "systemLanguage".
const char* ConditionalAttributeName(ConditionalAttribute which);

// The values of the three attributes met while rendering, each recorded once
// (by exact value), in the order first met. One per load; safe to use from
// several threads.
class CConditionalValues {
public:
    void Reset();
    // Empty values are not recorded: there is nothing to show for them.
    void Record(ConditionalAttribute which, std::string_view value);
    // Records the values of the three attributes that `elem` has.
    void RecordElement(const CElem& elem);
    // The recorded values separated by single blanks; empty when none.
    std::string Get(ConditionalAttribute which) const;
    // Reports "I "requiredFeatures" found '...'" and so on for each attribute
    // with at least one recorded value.
    void Report(CMessageLog& log) const;

private:
    struct ValueList {
        std::string joined;
        std::unordered_set<std::string> seen;
    };

    mutable std::mutex mutex_;
    std::array<ValueList, 3> lists_;
};

// True when every blank-separated feature string of `value` is supported.
// Tokens carry the SVG 1.1 feature prefix ("http://www.w3.org/TR/SVG11/feature")
// or "org.w3c.svg" before "#"; "org.w3c.svg.static" passes on its own. An
// empty value, or a token naming no known feature, fails.
bool FeatureTest(std::string_view value);

// True when some comma-separated item of `attributeValue` starts with some
// item of `userLanguages` (case-insensitive) followed by its end or "-": user
// "en" matches "en" and "en-US", user "en-US" does not match "en". An empty
// attribute value fails.
bool LanguageTest(std::string_view attributeValue, std::string_view userLanguages);

// True when the element's own three attributes ("inherit" takes the
// parent's) all pass, for the user languages of its document's options.
bool PassesConditions(const CElem& elem);

// Run while preparing: sets `excluded` on `elem` when its conditions fail,
// and for a `switch` on every graphics child but the first that passes.
void EvaluateConditions(CElem& elem);

// The graphics child a prepared `switch` renders, or null.
const CElem* ChosenSwitchChild(const CElem& switchElement);

}  // namespace svg
