#include "app/desktop_defaults.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QPalette>

#include "values/color.h"

namespace vexo {
namespace {

struct SystemColorRole {
    const char* name;
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

constexpr SystemColorRole kSystemColorRoles[] = {
    {"ButtonFace", QPalette::Active, QPalette::Button},
    {"ThreeDFace", QPalette::Active, QPalette::Button},
    {"ButtonText", QPalette::Active, QPalette::ButtonText},
    {"ButtonHighlight", QPalette::Active, QPalette::Light},
    {"ThreeDHighlight", QPalette::Active, QPalette::Light},
    {"ButtonShadow", QPalette::Active, QPalette::Mid},
    {"ThreeDShadow", QPalette::Active, QPalette::Mid},
    {"ThreeDDarkShadow", QPalette::Active, QPalette::Shadow},
    {"ThreeDLightShadow", QPalette::Active, QPalette::Midlight},
    {"Window", QPalette::Active, QPalette::Base},
    {"Background", QPalette::Active, QPalette::Window},
    {"AppWorkspace", QPalette::Active, QPalette::Window},
    {"WindowText", QPalette::Active, QPalette::WindowText},
    {"CaptionText", QPalette::Active, QPalette::WindowText},
    {"MenuText", QPalette::Active, QPalette::WindowText},
    {"Highlight", QPalette::Active, QPalette::Highlight},
    {"HighlightText", QPalette::Active, QPalette::HighlightedText},
    {"InfoBackground", QPalette::Active, QPalette::ToolTipBase},
    {"InfoText", QPalette::Active, QPalette::ToolTipText},
    {"GrayText", QPalette::Disabled, QPalette::Text},
    {"Menu", QPalette::Active, QPalette::Window},
    {"Scrollbar", QPalette::Active, QPalette::Button},
    {"WindowFrame", QPalette::Active, QPalette::Shadow},
    {"ActiveBorder", QPalette::Active, QPalette::Mid},
    {"InactiveBorder", QPalette::Active, QPalette::Mid},
    {"ActiveCaption", QPalette::Active, QPalette::Highlight},
    {"InactiveCaption", QPalette::Inactive, QPalette::Highlight},
    {"InactiveCaptionText", QPalette::Disabled, QPalette::WindowText},
};

void SetFont(svg::DesktopStyle& desktop, const char* keyword, QFontDatabase::SystemFont which)
{
    const QFont font = QFontDatabase::systemFont(which);
    const QFontInfo info(font);
    desktop.SetSystemFont(keyword, info.family().toStdString(), info.pixelSize(), info.bold(), info.italic());
}

}  // namespace

svg::DesktopStyle ReadDesktopStyle()
{
    svg::DesktopStyle desktop;
    const QPalette palette = QGuiApplication::palette();
    for (const SystemColorRole& entry : kSystemColorRoles) {
        const QColor color = palette.color(entry.group, entry.role);
        desktop.palette.Set(entry.name, {static_cast<std::uint8_t>(color.red()), static_cast<std::uint8_t>(color.green()),
                                         static_cast<std::uint8_t>(color.blue())});
    }
    desktop.interfaceFontFamily =
        QFontInfo(QFontDatabase::systemFont(QFontDatabase::GeneralFont)).family().toStdString();
    SetFont(desktop, "caption", QFontDatabase::TitleFont);
    SetFont(desktop, "icon", QFontDatabase::GeneralFont);
    SetFont(desktop, "menu", QFontDatabase::GeneralFont);
    SetFont(desktop, "message-box", QFontDatabase::GeneralFont);
    SetFont(desktop, "small-caption", QFontDatabase::SmallestReadableFont);
    SetFont(desktop, "status-bar", QFontDatabase::SmallestReadableFont);
    return desktop;
}

}  // namespace vexo
