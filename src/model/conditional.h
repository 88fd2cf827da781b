// Conditional processing: `requiredFeatures`, `requiredExtensions` and
// `systemLanguage` decide whether an element takes part in rendering, and a
// `switch` renders only its first graphics child whose conditions hold. An
// element that fails gets its `excluded` mark; nothing else in the tree changes.
// The attribute values met along the way are collected, each once, and reported
// when a load ends, so the user can see which languages a document offers.
// The tests and the walk run on the loading or rendering thread;
// ConditionalValues may be used from any thread.
#pragma once

#include <array>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>

namespace svg {

class CElem;

enum class ConditionalAttribute { RequiredFeatures, RequiredExtensions, SystemLanguage };

// "requiredFeatures", "requiredExtensions" or "systemLanguage".
const char* ConditionalAttributeName(ConditionalAttribute which);

// The values of the three attributes met while rendering, each recorded once
// (by exact value), in the order first met. One process-wide instance, emptied
// when a load starts.
class ConditionalValues {
public:
    static ConditionalValues& Instance();

    void Reset();
    // Empty values are not recorded: there is nothing to show for them.
    void Record(ConditionalAttribute which, std::string_view value);
    // The recorded values separated by single blanks; empty when none.
    std::string Get(ConditionalAttribute which) const;
    // Reports "I "requiredFeatures" found '...'" and so on for each attribute
    // with at least one recorded value.
    void Report() const;

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

// True when the element takes part in rendering; on false sets elem.excluded.
// The three attributes are the element's own ("inherit" takes the parent's);
// every value present is recorded in ConditionalValues.
bool TestConditions(CElem& elem);

// Tests the graphics-element children of a `switch` in order and returns the
// first that passes, or null; every other graphics child gets excluded = true.
// All of them are tested, so every alternative a document offers is recorded.
CElem* SelectSwitchChild(CElem& switchElement);

}  // namespace svg
