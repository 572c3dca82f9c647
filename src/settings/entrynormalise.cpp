#include "settings/entrynormalise.h"

#include "settings/catalogue.h"
#include "settings/textforms.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace qbx {
namespace {

constexpr float kMinCutOffset = kMinCutQuarters * 0.25f;
constexpr float kMaxCutOffset = kMaxCutQuarters * 0.25f;
constexpr double kMaxPresenterDelay = kMaxDelayHalfSeconds * 0.5;

// Decimal text of a value on a grid of 1/4 or 1/2: at most two decimals, none trailing.
std::string gridNumberText(double value)
{
    const long hundredths = std::lround(std::fabs(value) * 100.0);
    std::string text = std::to_string(hundredths / 100);
    if (const long fraction = hundredths % 100; fraction != 0) {
        text += '.';
        text += static_cast<char>('0' + fraction / 10);
        if (fraction % 10 != 0)
            text += static_cast<char>('0' + fraction % 10);
    }
    return text;
}

} // namespace

float normaliseCutOffset(float millimetres)
{
    if (std::isnan(millimetres))
        return 0.0f;
    const float hundredths = millimetres * 100.0f;
    const float quarters = hundredths / 25.0f;
    // Limiting the count before it is made an integer keeps huge entries from wrapping.
    const double count = std::clamp(roundHalfEven(quarters), -32768.0, 32767.0);
    const float r = static_cast<float>(static_cast<short>(count)) * 0.25f;
    return std::clamp(r, kMinCutOffset, kMaxCutOffset);
}

float singlePrecision(double value)
{
    if (std::isnan(value))
        return 0.0f;
    constexpr double kMax = std::numeric_limits<float>::max();
    return static_cast<float>(std::clamp(value, -kMax, kMax));
}

std::string cutOffsetText(float millimetres)
{
    const bool negative = millimetres < 0.0f && gridNumberText(millimetres) != "0";
    // Appended, not "-" + text: GCC 12 at -O3 warns falsely (-Wrestrict, GCC bug 105329) about
    // the insertion at the front that operator+ does with a literal on its left.
    std::string text(negative ? "-" : " ");
    text.append(gridNumberText(millimetres)).append("mm");
    return text;
}

double normalisePresenterDelay(double seconds)
{
    if (std::isnan(seconds))
        return 0.0;
    return std::clamp(std::floor(seconds / 0.5) * 0.5, 0.0, kMaxPresenterDelay);
}

std::string cutOffsetRangeText()
{
    std::string text("-");
    text.append(gridNumberText(kMinCutOffset))
        .append(" to ")
        .append(gridNumberText(kMaxCutOffset))
        .append(" mm");
    return text;
}

std::string presenterDelayRangeText()
{
    return "0 to " + gridNumberText(kMaxPresenterDelay) + " s";
}

std::string presenterDelayText(double seconds)
{
    const bool negative = seconds < 0.0 && gridNumberText(seconds) != "0";
    std::string text(negative ? "-" : "");
    text.append(gridNumberText(seconds)).append("s");
    return text;
}

} // namespace qbx
