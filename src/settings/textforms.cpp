#include "textforms.h"

#include <cmath>

namespace qbx {

std::string hexText(unsigned value)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    do {
        text.insert(text.begin(), kDigits[value % 16]);
        value /= 16;
    } while (value != 0);
    return text;
}

std::string twoDigitForm(std::string_view hex)
{
    std::string text = "00";
    text += hex;
    return text.substr(text.size() - 2);
}

std::string twoDigitHex(unsigned value)
{
    return twoDigitForm(hexText(value & 0xFFu));
}

double roundHalfEven(double value)
{
    const double lower = std::floor(value);
    const double fraction = value - lower;
    if (fraction < 0.5)
        return lower;
    if (fraction > 0.5)
        return lower + 1.0;
    return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
}

std::string versionLine(int major, int minor, int revision)
{
    std::string line = "Version " + std::to_string(major) + "." + std::to_string(minor);
    if (revision > 0)
        line += " revision " + std::to_string(revision);
    return line;
}

} // namespace qbx
