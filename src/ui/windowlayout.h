#pragma once

#include "twipslayout.h"

#include <Qt>

#include <array>
#include <optional>
#include <span>
#include <string_view>

namespace qbx::ui {

// The fixed layout of frmMain as data: one table per tab page, in twips relative to SSTab1's
// top-left corner (tab strip included).

enum class ControlKind
{
    Photograph,
    Label,
    PortPanel,
    Button,
    CheckBox,
    Diagram,
    TextBox
};

enum class FontRole
{
    Default,     // 8.25 pt regular: lists, text boxes, tab captions, the instruction text
    SmallBold,   // 8.25 pt bold: the version line, the check box
    Heading,     // 9.75 pt bold: setting labels, buttons
    Title,       // 13.5 pt bold
    TitleNotice, // 13.5 pt bold, underlined
};

struct ControlLayout
{
    std::string_view name;
    ControlKind kind;
    std::string_view text;
    TwipsRect twips;
    FontRole font = FontRole::Default;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop;
    std::optional<unsigned> colourValue = {}; // blue * 65536 + green * 256 + red
    std::string_view toolTip = {};
    bool wraps = false;
};

// One setting row: a label on the left, its list on the right. The label's text is the
// setting's label in the catalogue.
struct SettingRow
{
    std::string_view label;
    std::string_view list;
    std::string_view toolTip = {};
};

struct PageLayout
{
    std::string_view caption;
    std::span<const SettingRow> rows;
    std::span<const ControlLayout> controls;
};

inline constexpr TwipsRect kTabWidgetTwips{0, 0, 7425, 4755};
inline constexpr int kClientWidthTwips = 7440;
inline constexpr int kClientHeightTwips = 4785;

// Where row k of a settings page puts its label and its list.
TwipsRect settingLabelTwips(int row);
TwipsRect settingListTwips(int row);

// The six pages, in tab order.
std::span<const PageLayout> pages();

// Every control that can take the keyboard focus, in the order the focus visits them.
std::span<const std::string_view> focusOrder();

} // namespace qbx::ui
