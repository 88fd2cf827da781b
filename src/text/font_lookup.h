// Finding a system font face for a CSS family list and reading the metrics
// property resolution needs (units per em, x-height, cap height), through
// fontconfig and FreeType. Results are cached per request; thread-safe.
#pragma once

#include <string>
#include <string_view>

namespace svg {

struct FaceMetrics {
    std::string family;  // the family fontconfig chose
    std::string file;
    int index = 0;       // face index within the file
    float unitsPerEm = 1000;
    float xHeight = 500;    // font units
    float capHeight = 700;  // font units
};

// The desktop's user-interface font family. Documents written on Windows name
// its interface faces ("MS UI Gothic", "MS Shell Dlg"); they are looked up as
// this family first, then as a Japanese gothic face and sans-serif. Set by
// the shell at start-up, before any load; empty without a desktop.
void SetInterfaceFontFamily(std::string family);

class SystemFaceMetrics {
public:
    static SystemFaceMetrics& Instance();

    // The first family of the comma-separated list (quotes allowed; generic
    // names such as serif and sans-serif included) that is installed, at the
    // weight (100..900) and style (1 normal, 2 italic, 4 oblique) asked for;
    // the default face when none is. Never fails while any font is installed.
    const FaceMetrics& FindFace(std::string_view familyList, int weight, int style);

    // Drops cached faces (when a document is opened or closed).
    void Release();
};

}  // namespace svg
