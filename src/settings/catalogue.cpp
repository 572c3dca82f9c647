#include "settings/catalogue.h"

#include <algorithm>

namespace qbx {
namespace {

constexpr Entry kZeroStyle[] = {{kNoChange}, {"Not Slashed"}, {"Slashed"}};

constexpr Entry kIntCharSet[] = {
    {kNoChange},  {"USA"},           {"France"},   {"Germany"}, {"UK"},     {"Denmark #1"},
    {"Sweden"},   {"Italy"},         {"Spain #1"}, {"Japan"},   {"Norway"}, {"Denmark #2"},
    {"Spain #2"}, {"Latin America"}, {"Korea"},    {"Ireland"}, {"Legal"},
};

// Entry 2 ends in a blank and entry 4 does not: the printer's own list has both.
constexpr Entry kCodePage[] = {
    {kNoChange},
    {"Normal"},
    {"437(USA,std. Europe) "},
    {"Katakana"},
    {"437(USA,std. Europe)"},
    {"858 (Multilingual)"},
    {"852 (Latin-2)"},
    {"860 (Portuguese)"},
    {"861 (Icelandic)"},
    {"863 (Canadian Frence)"},
    {"865 (Nordic)"},
    {"866 (Cyrillic Russian)"},
    {"855 (Cyrillic Bulgarian)"},
    {"857 (Turkish)"},
    {"862 (Hebrew)"},
    {"864 (Arabic)"},
    {"737 (Greek)"},
    {"851 (Greek)"},
    {"869 (Greek)"},
    {"928 (Greek)"},
    {"772 (Lithuanian)"},
    {"774 (Lithuanian)"},
    {"874 (Thai)"},
    {"1252 (Windows Latin-1)"},
    {"1250 (Windows Latin-2)"},
    {"1251 (Windows Cyrillic)"},
    {"3840 (IBM-Russian)"},
    {"3841 (Gost)"},
    {"3843 (Polish)"},
    {"3844 (CS2)"},
    {"3845 (Hungarian)"},
    {"3846 (Turkish)"},
    {"3847 (Brazil-ABNT)"},
    {"3848 (Brazil-ABICOMP)"},
    {"1001 (Arabic)"},
    {"2001 (Lithuaninan-KBL)"},
    {"3001 (Estonian-1)"},
    {"3002 (Estonian-2)"},
    {"3011 (Latvian-1)"},
    {"3012 (Latvian-2)"},
    {"3021 (Bulgarian)"},
    {"3041 (Maltese)"},
};

constexpr Entry kCharSpacing[] = {{kNoChange}, {"12 dot"}, {"15 dot"}};
constexpr Entry kLineSpacing[] = {{kNoChange}, {"4mm"}, {"3mm"}};
constexpr Entry kCRCode[] = {{kNoChange}, {"None"}, {"Same as Line Feed"}};

constexpr Entry kPrintSpeed[] = {
    {kNoChange},
    {"Full Speed (150mm/s)"},
    {"Medium Speed (110mm/s)", true, "0010"},
    {"Low Speed (60mm/s)", true, "0020"},
};

constexpr Entry kPrintDensity[] = {
    {kNoChange}, {"130% (Darkest)"}, {"120%"}, {"110%"}, {"Normal"}, {"90%"}, {"80%"}, {"70%"},
};

constexpr Entry kPrintWidth[] = {
    {kNoChange},
    {"104 mm (832dot)"},
    {"80 mm (640dot)", true, "0001"},
    {"72 mm (576dot)", true, "0002"},
};

// Enabling clears the bit for these two: the printer's list names "Enable" first.
constexpr Entry kEnableFirst[] = {{kNoChange}, {"Enable"}, {"Dissable"}};
constexpr Entry kDisableFirst[] = {{kNoChange}, {"Disable"}, {"Enable"}};

constexpr Entry kNEType[] = {{kNoChange}, {"Photo"}, {"Mechanical"}};
constexpr Entry kNESigLevel[] = {{kNoChange}, {"High"}, {"Low"}};
constexpr Entry kNESignal[] = {
    {kNoChange}, {"Raised on Paper End Only"}, {"Raised on Paper End or Near End"}};

constexpr Entry kPresenterBehaviour[] = {
    {kNoChange},
    {"Loop - Hold - Capture"},
    {"Loop - Hold - Eject"},
    {"No Loop - Hold - Capture"},
    {"No Loop - Hold - Eject"},
    {"Print Strainght Through (Journal)"},
};

// The field holds the delay in half seconds. The maximum is a single set of all bits.
constexpr Entry kPresenterDelay[] = {
    {kNoChange},
    {"Command Driven"},
    {"0.5 seconds (minimum)", true, "0001"},
    {"5 seconds", true, "000A"},
    {"10 seconds", true, "0014"},
    {"30 seconds", true, "003C"},
    {"127.5 seconds (maximum)", false, "00FF"},
    {kCustomDelay},
};

constexpr Entry kPresStatus[] = {{kNoChange}, {"Disable (default)"}, {"Enable"}};

constexpr std::array<Setting, kSettingCount> kCatalogue{{
    // "Characters"
    {"zero-style", "Zero Character Style", "1", "0010", Rule::OneBit, kZeroStyle},
    {"int-char-set", "International Character Set", "1", "000F", Rule::IndexMinusOne, kIntCharSet},
    {"code-page", "Code Page", "3", "FF00", Rule::CodePage, kCodePage},
    {"char-spacing", "Character Spacing", "3", "0010", Rule::OneBit, kCharSpacing},
    {"line-spacing", "Line Spacing", "3", "0001", Rule::OneBit, kLineSpacing},
    {"cr-code", "<CR> command function", "3", "0002", Rule::OneBit, kCRCode},
    // "Paper"
    {"print-speed", "Default Print Speed", "2", "0030", Rule::FixedValues, kPrintSpeed},
    {"print-density", "Default Print Density", "2", "0007", Rule::PrintDensity, kPrintDensity},
    {"print-width", "Printable Width", "4", "0007", Rule::FixedValues, kPrintWidth},
    {"auto-load", "Auto Loading", "6", "1000", Rule::OneBit, kEnableFirst},
    {"ne-sensor", "Near End Sensor", "A", "0100", Rule::OneBit, kEnableFirst},
    {"ne-type", "Near End Sensor Type", "A", "0200", Rule::OneBit, kNEType},
    {"ne-sig-level", "Near End Sensor Signal Level", "A", "0400", Rule::OneBit, kNESigLevel},
    {"ne-signal", "Parallel Interface Paper End Signal", "A", "0010", Rule::OneBit, kNESignal},
    // "Tickets"
    {"start-pos-detect", "Start Potition Detect (Black Mark Sensing)", "1", "0100", Rule::OneBit,
     kDisableFirst},
    {"top-search", "Top Search", "1", "0200", Rule::OneBit, kDisableFirst},
    {"cut-offset", "Adjust Cut Position", "2", "FF00", Rule::CutOffset, {}},
    // "Presenter": the behaviour mask goes out with a lower-case f, as the printer has always
    // been sent it.
    {"presenter-behaviour", "Presenter Behaviour", "6", "000f", Rule::IndexMinusOne, kPresenterBehaviour},
    {"presenter-delay", "Presenter Timer", "5", "00FF", Rule::PresenterDelay, kPresenterDelay},
    // "Status"
    {"asb", "ASB Status Checking", "7", "1000", Rule::OneBit, kDisableFirst},
    {"nsb", "NSB Status Checking", "7", "0100", Rule::OneBit, kDisableFirst},
    {"pres-status", "Return Presenter Status", "6", "0010", Rule::OneBit, kPresStatus},
}};

std::size_t stepWithRule(Rule rule)
{
    const auto it = std::find_if(kCatalogue.begin(), kCatalogue.end(),
                                 [rule](const Setting& s) { return s.rule == rule; });
    return static_cast<std::size_t>(it - kCatalogue.begin());
}

} // namespace

const std::array<Setting, kSettingCount>& catalogue()
{
    return kCatalogue;
}

std::optional<std::size_t> findSettingByKey(std::string_view key)
{
    const auto it =
        std::find_if(kCatalogue.begin(), kCatalogue.end(), [key](const Setting& s) { return s.key == key; });
    if (it == kCatalogue.end())
        return std::nullopt;
    return static_cast<std::size_t>(it - kCatalogue.begin());
}

std::size_t cutOffsetStep()
{
    static const std::size_t step = stepWithRule(Rule::CutOffset);
    return step;
}

std::size_t presenterDelayStep()
{
    static const std::size_t step = stepWithRule(Rule::PresenterDelay);
    return step;
}

std::size_t customDelayEntry()
{
    const auto entries = kCatalogue[presenterDelayStep()].entries;
    const auto it =
        std::find_if(entries.begin(), entries.end(), [](const Entry& e) { return e.text == kCustomDelay; });
    return static_cast<std::size_t>(it - entries.begin());
}

} // namespace qbx
