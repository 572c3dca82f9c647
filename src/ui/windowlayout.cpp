#include "windowlayout.h"

namespace qbx::ui {
namespace {

constexpr Qt::Alignment kRight = Qt::AlignRight | Qt::AlignTop;
constexpr Qt::Alignment kCentre = Qt::AlignHCenter | Qt::AlignTop;
constexpr unsigned kBlue = 16711680;
constexpr unsigned kRed = 255;
constexpr unsigned kMagenta = 16711935;

constexpr std::array kMainControls{
    ControlLayout{"Image1", ControlKind::Photograph, {}, {180, 480, 2445, 1935}},
    ControlLayout{"labTitle",
                  ControlKind::Label,
                  "Tesk QBX740 Configuration Utility",
                  {2760, 480, 4515, 435},
                  FontRole::Title,
                  Qt::AlignLeft | Qt::AlignTop,
                  kBlue},
    ControlLayout{"labVersion",
                  ControlKind::Label,
                  "Version",
                  {2760, 840, 3915, 195},
                  FontRole::SmallBold,
                  Qt::AlignLeft | Qt::AlignTop,
                  kRed},
    ControlLayout{"Label20",
                  ControlKind::Label,
                  "Pre-release/Beta version",
                  {2760, 1440, 4515, 495},
                  FontRole::TitleNotice,
                  kCentre,
                  kMagenta},
    ControlLayout{"scmOutput", ControlKind::PortPanel, {}, {180, 2520, 3825, 1560}},
    ControlLayout{
        "butDownload", ControlKind::Button, "Store Settings", {4080, 2520, 3135, 315}, FontRole::Heading},
    ControlLayout{"butPrintSelfTest",
                  ControlKind::Button,
                  "Print Self Test Page",
                  {4080, 2880, 3135, 315},
                  FontRole::Heading},
    ControlLayout{"butPrintFile",
                  ControlKind::Button,
                  "Print External Data File",
                  {4080, 3240, 3135, 315},
                  FontRole::Heading},
    ControlLayout{"butClose", ControlKind::Button, "Close", {5580, 4200, 1635, 375}, FontRole::Heading},
};

constexpr std::array kCharacterRows{
    SettingRow{"Label1", "cmbZeroStyle"},   SettingRow{"Label2", "cmbIntCharSet"},
    SettingRow{"Label3", "cmbCodePage"},    SettingRow{"Label4", "cmbCharSpacing"},
    SettingRow{"Label6", "cmbLineSpacing"}, SettingRow{"Label5", "cmbCRCode"},
};

constexpr std::array kPaperRows{
    SettingRow{"Label7", "cmbPrintSpeed"},  SettingRow{"Label8", "cmbPrintDensity"},
    SettingRow{"Label9", "cmbPrintWidth"},  SettingRow{"Label10", "cmbAutoLoad"},
    SettingRow{"Label11", "cmbNESensor"},   SettingRow{"Label17", "cmbNEType"},
    SettingRow{"Label18", "cmbNESigLevel"}, SettingRow{"Label12", "cmbNESignal"},
};

constexpr std::array kTicketRows{
    SettingRow{"Label13", "cmbStartPosDetect"},
    SettingRow{"Label14", "cmbTopSearch"},
};

constexpr std::array kTicketControls{
    ControlLayout{"Label27",
                  ControlKind::Label,
                  "Cut Position Adjustment",
                  {180, 1380, 4395, 315},
                  FontRole::Heading,
                  kRight},
    ControlLayout{
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
    ControlLayout{"chk_AdjustCutPos",
                  ControlKind::CheckBox,
                  "Adjust Cut Position",
                  {2640, 2340, 1935, 255},
                  FontRole::SmallBold},
    ControlLayout{"Picture1", ControlKind::Diagram, {}, {5280, 1380, 1950, 1515}},
    ControlLayout{"txtCutOffset", ControlKind::TextBox, {}, {5280, 2940, 1935, 285}},
};

constexpr std::array kPresenterRows{
    SettingRow{"Label15", "cmbPresenterBehaviour"},
    SettingRow{"Label16", "cmbPresenterDelay"},
};

constexpr std::array kPresenterControls{
    ControlLayout{"txtPresenterDelay",
                  ControlKind::TextBox,
                  "30s",
                  {4740, 1320, 1035, 315},
                  FontRole::Default,
                  Qt::AlignLeft | Qt::AlignVCenter,
                  {},
                  "Enter the presenter delay in seconds"},
};

constexpr std::array kStatusRows{
    SettingRow{"Label21", "cmbASB", "Enable ASB (Auto Status Back)"},
    SettingRow{"Label22", "cmbNSB", "Enable/Disable NSB statuc checking"},
    SettingRow{"Label19", "cmbPresStatus"},
};

constexpr std::array kPages{
    PageLayout{"Main", {}, kMainControls},
    PageLayout{"Characters", kCharacterRows, {}},
    PageLayout{"Paper", kPaperRows, {}},
    PageLayout{"Tickets", kTicketRows, kTicketControls},
    PageLayout{"Presenter", kPresenterRows, kPresenterControls},
    PageLayout{"Status", kStatusRows, {}},
};

constexpr std::array<std::string_view, 31> kFocusOrder{
    "SSTab1",
    "butDownload",
    "butPrintSelfTest",
    "butPrintFile",
    "butClose",
    "scmOutput",
    "cmbZeroStyle",
    "cmbIntCharSet",
    "cmbCodePage",
    "cmbCharSpacing",
    "cmbCRCode",
    "cmbLineSpacing",
    "cmbPrintSpeed",
    "cmbPrintDensity",
    "cmbPrintWidth",
    "cmbAutoLoad",
    "cmbNESensor",
    "cmbNESignal",
    "cmbStartPosDetect",
    "cmbTopSearch",
    "chk_AdjustCutPos",
    "txtCutOffset",
    "Picture1",
    "cmbPresenterBehaviour",
    "cmbPresenterDelay",
    "txtPresenterDelay",
    "cmbNEType",
    "cmbNESigLevel",
    "cmbASB",
    "cmbNSB",
    "cmbPresStatus",
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

std::span<const std::string_view> focusOrder()
{
    return kFocusOrder;
}

} // namespace qbx::ui
