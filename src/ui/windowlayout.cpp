#include "windowlayout.h"

namespace qbx::ui {
namespace {

constexpr Qt::Alignment kRight = Qt::AlignRight | Qt::AlignTop;
constexpr Qt::Alignment kCentre = Qt::AlignHCenter | Qt::AlignTop;
constexpr unsigned kBlue = 16711680;
constexpr unsigned kRed = 255;
constexpr unsigned kMagenta = 16711935;

constexpr std::array kMainControls{
    ControlSpec{"Image1", ControlKind::Photograph, {}, {180, 480, 2445, 1935}},
    ControlSpec{"labTitle",
                ControlKind::Label,
                "Tesk QBX740 Configuration Utility",
                {2760, 480, 4515, 435},
                FontRole::Title,
                Qt::AlignLeft | Qt::AlignTop,
                kBlue},
    ControlSpec{"labVersion",
                ControlKind::Label,
                "Version",
                {2760, 840, 3915, 195},
                FontRole::SmallBold,
                Qt::AlignLeft | Qt::AlignTop,
                kRed},
    ControlSpec{"Label20",
                ControlKind::Label,
                "Pre-release/Beta version",
                {2760, 1440, 4515, 495},
                FontRole::TitleNotice,
                kCentre,
                kMagenta},
    ControlSpec{"scmOutput", ControlKind::PortPanel, {}, {180, 2520, 3825, 1560}},
    ControlSpec{
        "butDownload", ControlKind::Button, "Store Settings", {4080, 2520, 3135, 315}, FontRole::Heading},
    ControlSpec{"butPrintSelfTest",
                ControlKind::Button,
                "Print Self Test Page",
                {4080, 2880, 3135, 315},
                FontRole::Heading},
    ControlSpec{"butPrintFile",
                ControlKind::Button,
                "Print External Data File",
                {4080, 3240, 3135, 315},
                FontRole::Heading},
    ControlSpec{"butClose", ControlKind::Button, "Close", {5580, 4200, 1635, 375}, FontRole::Heading},
};

constexpr std::array kCharacterRows{
    SettingRowSpec{"Label1", "cmbZeroStyle"},   SettingRowSpec{"Label2", "cmbIntCharSet"},
    SettingRowSpec{"Label3", "cmbCodePage"},    SettingRowSpec{"Label4", "cmbCharSpacing"},
    SettingRowSpec{"Label6", "cmbLineSpacing"}, SettingRowSpec{"Label5", "cmbCRCode"},
};

constexpr std::array kPaperRows{
    SettingRowSpec{"Label7", "cmbPrintSpeed"},  SettingRowSpec{"Label8", "cmbPrintDensity"},
    SettingRowSpec{"Label9", "cmbPrintWidth"},  SettingRowSpec{"Label10", "cmbAutoLoad"},
    SettingRowSpec{"Label11", "cmbNESensor"},   SettingRowSpec{"Label17", "cmbNEType"},
    SettingRowSpec{"Label18", "cmbNESigLevel"}, SettingRowSpec{"Label12", "cmbNESignal"},
};

constexpr std::array kTicketRows{
    SettingRowSpec{"Label13", "cmbStartPosDetect"},
    SettingRowSpec{"Label14", "cmbTopSearch"},
};

constexpr std::array kTicketControls{
    ControlSpec{"Label27",
                ControlKind::Label,
                "Cut Position Adjustment",
                {180, 1380, 4395, 315},
                FontRole::Heading,
                kRight},
    ControlSpec{
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
    ControlSpec{"chk_AdjustCutPos",
                ControlKind::CheckBox,
                "Adjust Cut Position",
                {2640, 2340, 1935, 255},
                FontRole::SmallBold},
    ControlSpec{"Picture1", ControlKind::Diagram, {}, {5280, 1380, 1950, 1515}},
    ControlSpec{"txtCutOffset", ControlKind::TextBox, {}, {5280, 2940, 1935, 285}},
};

constexpr std::array kPresenterRows{
    SettingRowSpec{"Label15", "cmbPresenterBehaviour"},
    SettingRowSpec{"Label16", "cmbPresenterDelay"},
};

constexpr std::array kPresenterControls{
    ControlSpec{"txtPresenterDelay",
                ControlKind::TextBox,
                "30s",
                {4740, 1320, 1035, 315},
                FontRole::Default,
                Qt::AlignLeft | Qt::AlignVCenter,
                {},
                "Enter the presenter delay in seconds"},
};

constexpr std::array kStatusRows{
    SettingRowSpec{"Label21", "cmbASB", "Enable ASB (Auto Status Back)"},
    SettingRowSpec{"Label22", "cmbNSB", "Enable/Disable NSB statuc checking"},
    SettingRowSpec{"Label19", "cmbPresStatus"},
};

constexpr std::array kPages{
    PageSpec{"Main", {}, kMainControls},
    PageSpec{"Characters", kCharacterRows, {}},
    PageSpec{"Paper", kPaperRows, {}},
    PageSpec{"Tickets", kTicketRows, kTicketControls},
    PageSpec{"Presenter", kPresenterRows, kPresenterControls},
    PageSpec{"Status", kStatusRows, {}},
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

std::span<const PageSpec> pages()
{
    return kPages;
}

std::span<const std::string_view> focusOrder()
{
    return kFocusOrder;
}

} // namespace qbx::ui
