#include "ui/windowlayout.h"

namespace qbx::ui {
namespace {

constexpr Qt::Alignment kRight = Qt::AlignRight | Qt::AlignTop;
constexpr Qt::Alignment kCentre = Qt::AlignHCenter | Qt::AlignTop;
constexpr unsigned kBlue = 16711680;
constexpr unsigned kRed = 255;
constexpr unsigned kMagenta = 16711935;

constexpr std::array kMainControls{
    ControlLayout{
        ControlId::Photograph, kNoFocus, "Image1", ControlKind::Photograph, {}, {180, 480, 2445, 1935}},
    ControlLayout{ControlId::Title,
                  kNoFocus,
                  "labTitle",
                  ControlKind::Label,
                  "Tesk QBX740 Configuration Utility",
                  {2760, 480, 4515, 435},
                  FontRole::Title,
                  Qt::AlignLeft | Qt::AlignTop,
                  kBlue},
    ControlLayout{ControlId::Version,
                  kNoFocus,
                  "labVersion",
                  ControlKind::Label,
                  "Version",
                  {2760, 840, 3915, 195},
                  FontRole::SmallBold,
                  Qt::AlignLeft | Qt::AlignTop,
                  kRed},
    ControlLayout{ControlId::BetaNotice,
                  kNoFocus,
                  "Label20",
                  ControlKind::Label,
                  "Pre-release/Beta version",
                  {2760, 1440, 4515, 495},
                  FontRole::TitleNotice,
                  kCentre,
                  kMagenta},
    // What the last action did, where the (hidden) notice would be, and how many settings are chosen,
    // left of Close.
    ControlLayout{ControlId::Status,
                  kNoFocus,
                  "labStatus",
                  ControlKind::Label,
                  "Choose new values on the tabs, then store them with Store Settings.",
                  {2760, 1140, 4515, 1260},
                  FontRole::Default,
                  Qt::AlignLeft | Qt::AlignTop,
                  {},
                  {},
                  true},
    ControlLayout{ControlId::ChangeCount,
                  kNoFocus,
                  "labChanges",
                  ControlKind::Label,
                  "No setting chosen",
                  {180, 4230, 3420, 315}},
    // Profiles, the manual and About, left of Close; last in the focus order of the page.
    ControlLayout{ControlId::Profiles,
                  31,
                  "butProfiles",
                  ControlKind::MenuButton,
                  "Profiles and Help",
                  {3660, 4200, 1845, 375},
                  FontRole::Heading,
                  Qt::AlignLeft | Qt::AlignTop,
                  {},
                  "Open or save settings profiles, reset all settings, the manual"},
    ControlLayout{ControlId::PortPanel, 5, "scmOutput", ControlKind::PortPanel, {}, {180, 2520, 3825, 1560}},
    ControlLayout{ControlId::StoreSettings,
                  1,
                  "butDownload",
                  ControlKind::Button,
                  "Store Settings",
                  {4080, 2520, 3135, 315},
                  FontRole::Heading},
    ControlLayout{ControlId::PrintSelfTest,
                  2,
                  "butPrintSelfTest",
                  ControlKind::Button,
                  "Print Self Test Page",
                  {4080, 2880, 3135, 315},
                  FontRole::Heading},
    ControlLayout{ControlId::PrintFile,
                  3,
                  "butPrintFile",
                  ControlKind::Button,
                  "Print External Data File",
                  {4080, 3240, 3135, 315},
                  FontRole::Heading},
    ControlLayout{ControlId::Close,
                  4,
                  "butClose",
                  ControlKind::Button,
                  "Close",
                  {5580, 4200, 1635, 375},
                  FontRole::Heading},
};

constexpr std::array kTicketControls{
    ControlLayout{ControlId::CutHeading,
                  kNoFocus,
                  "Label27",
                  ControlKind::Label,
                  "Cut Position Adjustment",
                  {180, 1380, 4395, 315},
                  FontRole::Heading,
                  kRight},
    ControlLayout{
        ControlId::CutInstructions,
        kNoFocus,
        "Label26",
        ControlKind::Label,
        "Adjust the cut position (relative to the black mark) by enableing the 'Adjust Cut Position' check "
        "box and clicking on the diagram or entering a measurement in mm.",
        {180, 1620, 4395, 855},
        FontRole::Default,
        kRight,
        {},
        {},
        true},
    ControlLayout{ControlId::AdjustCutPos,
                  20,
                  "chk_AdjustCutPos",
                  ControlKind::CheckBox,
                  "Adjust Cut Position",
                  {2640, 2340, 1935, 255},
                  FontRole::SmallBold},
    ControlLayout{ControlId::CutDiagram, 22, "Picture1", ControlKind::Diagram, {}, {5280, 1380, 1950, 1515}},
    ControlLayout{
        ControlId::CutOffset, 21, "txtCutOffset", ControlKind::TextBox, {}, {5280, 2940, 1935, 285}},
};

constexpr std::array kPresenterControls{
    ControlLayout{ControlId::PresenterDelay,
                  25,
                  "txtPresenterDelay",
                  ControlKind::TextBox,
                  "30s",
                  {4740, 1320, 1035, 315},
                  FontRole::Default,
                  Qt::AlignLeft | Qt::AlignVCenter,
                  {},
                  "Enter the presenter delay in seconds"},
};

constexpr std::array kPages{
    PageLayout{"Main", kMainControls},
    PageLayout{"Characters", {}},
    PageLayout{"Paper", {}},
    PageLayout{"Tickets", kTicketControls},
    PageLayout{"Presenter", kPresenterControls},
    PageLayout{"Status", {}},
};

// In catalogue order. The focus visits the lists in an order of its own: on "Characters" the CR
// function before the line spacing; on "Paper" the paper end signal before the sensor's type and
// level, which come after the presenter's controls.
constexpr std::array<SettingPlace, kSettingCount> kSettingPlaces{
    SettingPlace{"cmbZeroStyle", "Label1", Page::Characters, 0, 6},
    SettingPlace{"cmbIntCharSet", "Label2", Page::Characters, 1, 7},
    SettingPlace{"cmbCodePage", "Label3", Page::Characters, 2, 8},
    SettingPlace{"cmbCharSpacing", "Label4", Page::Characters, 3, 9},
    SettingPlace{"cmbLineSpacing", "Label6", Page::Characters, 4, 11},
    SettingPlace{"cmbCRCode", "Label5", Page::Characters, 5, 10},
    SettingPlace{"cmbPrintSpeed", "Label7", Page::Paper, 0, 12},
    SettingPlace{"cmbPrintDensity", "Label8", Page::Paper, 1, 13},
    SettingPlace{"cmbPrintWidth", "Label9", Page::Paper, 2, 14},
    SettingPlace{"cmbAutoLoad", "Label10", Page::Paper, 3, 15},
    SettingPlace{"cmbNESensor", "Label11", Page::Paper, 4, 16},
    SettingPlace{"cmbNEType", "Label17", Page::Paper, 5, 26},
    SettingPlace{"cmbNESigLevel", "Label18", Page::Paper, 6, 27},
    SettingPlace{"cmbNESignal", "Label12", Page::Paper, 7, 17},
    SettingPlace{"cmbStartPosDetect", "Label13", Page::Tickets, 0, 18},
    SettingPlace{"cmbTopSearch", "Label14", Page::Tickets, 1, 19},
    // The cut offset is read from the adjuster's controls (kTicketControls).
    SettingPlace{{}, {}, Page::Tickets, kNoFocus, kNoFocus},
    SettingPlace{"cmbPresenterBehaviour", "Label15", Page::Presenter, 0, 23},
    SettingPlace{"cmbPresenterDelay", "Label16", Page::Presenter, 1, 24},
    SettingPlace{"cmbASB", "Label21", Page::Status, 0, 28, "Enable ASB (Auto Status Back)"},
    SettingPlace{"cmbNSB", "Label22", Page::Status, 1, 29, "Enable/Disable NSB statuc checking"},
    SettingPlace{"cmbPresStatus", "Label19", Page::Status, 2, 30},
};

constexpr int kFirstRowTop = 600;
constexpr int kRowPitch = 360;

} // namespace

TwipsRect settingLabelTwips(int row)
{
    return {180, kFirstRowTop + kRowPitch * row, 4395, 315};
}

TwipsRect settingListTwips(int row)
{
    return {4740, kFirstRowTop + kRowPitch * row, 2535, 315};
}

std::span<const PageLayout> pages()
{
    return kPages;
}

std::span<const SettingPlace, kSettingCount> settingPlaces()
{
    return kSettingPlaces;
}

} // namespace qbx::ui
