// The settings a load runs with. The user interface (or vexo-render) fills a
// CDocOptions when it starts a load; the load copies it and never changes it,
// and every document of the load keeps that copy, so nothing read while
// loading or drawing can change under the thread that reads it.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "values/color.h"
#include "values/number.h"
#include "values/rect.h"

namespace svg {

// A font the CSS system-font keywords of the `font` shorthand stand for.
struct SystemFont {
    std::string_view keyword;  // caption, icon, menu, message-box, small-caption, status-bar
    std::string family;
    int sizePx = 12;
    bool bold = false;
    bool italic = false;
};

// What documents may borrow from the desktop they are shown on. The defaults
// describe no desktop in particular, so output does not depend on the machine.
struct DesktopStyle {
    // The CSS2 system colours.
    SystemPalette palette;
    // The system-font keywords: sans-serif at 12 px, 11 px for the small ones.
    std::array<SystemFont, 6> systemFonts{{
        {"caption", "sans-serif", 12, false, false},
        {"icon", "sans-serif", 12, false, false},
        {"menu", "sans-serif", 12, false, false},
        {"message-box", "sans-serif", 12, false, false},
        {"small-caption", "sans-serif", 11, false, false},
        {"status-bar", "sans-serif", 11, false, false},
    }};
    // The desktop's user-interface font family. Documents written on Windows
    // name its interface faces ("MS UI Gothic", "MS Shell Dlg"); they are
    // looked up as this family first. Empty without a desktop.
    std::string interfaceFontFamily;

    const SystemFont* FindSystemFont(std::string_view keyword) const;
    // False for an unknown keyword.
    bool SetSystemFont(std::string_view keyword, std::string family, int sizePx, bool bold, bool italic);
};

// The files a load may read besides those in the main document's folder and
// below it (model/resource_file.h applies the rule).
struct FileAccess {
    // Every local file the user may read; the network never.
    bool allowAnyFile = false;
    // More folders, with everything below them; absolute, or relative to the
    // current directory.
    std::vector<std::string> allowedDirectories;
};

struct CDocOptions {
    std::string media = "screen";
    // The user's languages for systemLanguage, comma-separated.
    std::string language = "ja";
    RectF defaultViewport{0, 0, 800, 600};
    bool alternateFontsEnabled = true;
    std::string alternateFontList = "'Arial','MS UI Gothic'";
    bool rasterEffectsDisabled = false;
    // Carried into every nested load; no rendering step reads it.
    bool noClipTopLevelViewport = false;
    float filterResolutionFactor = 1.5f;
    // Unit conversion: the resolution of physical units, and the font size
    // and x-height (user units) of elements without a resolved font.
    float dpi = 96;
    float defaultFontSize = 15.5f;
    float defaultXHeight = 5;
    DesktopStyle desktop;
    FileAccess fileAccess;

    // Lengths read outside any element: the defaults and the default viewport.
    LengthContext DefaultLengthContext() const
    {
        return {dpi, defaultFontSize, defaultXHeight, defaultViewport};
    }
};

}  // namespace svg
