// Installed fonts through fontconfig: which faces a family name stands for.
// fontconfig's matching always answers with some face, so a family counts as
// installed only when a face carries that name exactly (case aside), or when
// the configuration binds the name strongly to another family (metric
// aliases: Arial to Liberation Sans). Generic names (serif, sans-serif,
// monospace, cursive, fantasy) take the family fontconfig prefers for them.
//
// fontconfig's configuration is loaded on the first query of the process.
// The functions keep no state of their own and may run on any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace svg {

// One installed face, as fontconfig lists it.
struct SystemFaceInfo {
    std::string family;  // the family fontconfig knows the face by
    std::string file;
    int index = 0;       // face (and named instance) within the file
    int weight = 400;    // CSS weight, rounded to a multiple of 100
    std::uint16_t style = 1;  // FontStyle bits: 1 upright, 2 italic, 4 oblique
    int widthPercent = 100;   // CSS width, percent of normal
};

bool IsGenericFamily(std::string_view name);

// The outline faces of the installed family `name` stands for (see above),
// sorted by file and index; empty when it stands for none.
std::vector<SystemFaceInfo> ListSystemFamily(std::string_view name);
// The family fontconfig uses when nothing is asked for; empty without fonts.
std::string DefaultSystemFamily();
// The family of the installed face fontconfig likes best among those that
// have character `c`; empty when no installed font has it.
std::string FamilyForChar(char32_t c);
// Faces whose full or PostScript name is `name` (CSS local()); empty when none.
std::vector<SystemFaceInfo> ListFacesNamed(std::string_view name);

}  // namespace svg
