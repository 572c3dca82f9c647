#pragma once

#include "settings/catalogue.h"
#include "ui/twipslayout.h"
#include "ui/windowfonts.h"

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
    MenuButton,
    CheckBox,
    Diagram,
    TextBox
};

// The controls other than the setting lists, each kept by the window in a typed member.
enum class ControlId
{
    Photograph,
    Title,
    Version,
    BetaNotice,
    PortPanel,
    StoreSettings,
    PrintSelfTest,
    PrintFile,
    Close,
    Status,
    ChangeCount,
    Profiles,
    CutHeading,
    CutInstructions,
    AdjustCutPos,
    CutDiagram,
    CutOffset,
    PresenterDelay,
};

enum class Page
{
    Main,
    Characters,
    Paper,
    Tickets,
    Presenter,
    Status,
};
inline constexpr std::size_t kPageCount = std::size_t(Page::Status) + 1;

// No place in the focus order.
inline constexpr int kNoFocus = -1;

struct ControlLayout
{
    ControlId id;
    int focus; // its place in the focus order, or kNoFocus
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

// Where a catalogue setting stands: a label on the left of its page and its list on the right.
// The label's text is the setting's label in the catalogue.
struct SettingPlace
{
    std::string_view list;  // the list's name; empty for the cut offset, which has its own controls
    std::string_view label; // the label's name
    Page page;
    int row;   // from the top of the page
    int focus; // the list's place in the focus order
    std::string_view toolTip = {};

    bool hasList() const { return !list.empty(); }
};

struct PageLayout
{
    std::string_view caption;
    std::span<const ControlLayout> controls; // besides the setting rows
};

inline constexpr TwipsRect kTabWidgetTwips{0, 0, 7425, 4755};
inline constexpr int kClientWidthTwips = 7440;
inline constexpr int kClientHeightTwips = 4785;

// Where row k of a settings page puts its label and its list.
TwipsRect settingLabelTwips(int row);
TwipsRect settingListTwips(int row);

// The six pages, in tab order.
std::span<const PageLayout> pages();

// The place of each catalogue setting, in catalogue order.
std::span<const SettingPlace, kSettingCount> settingPlaces();

} // namespace qbx::ui
