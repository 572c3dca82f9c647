#include "settings/textforms.h"

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

namespace {

// "\x1B", "\u0085": the escape's lead and the byte's two hexadecimal digits.
void appendEscape(std::string& out, const char* lead, unsigned char b)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out += lead;
    out += kDigits[b >> 4];
    out += kDigits[b & 0x0F];
}

} // namespace

std::string escapedText(std::string_view text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0u;
        if (b == '\\') {
            escaped += "\\\\";
        } else if (b < 0x20 || b == 0x7F) {
            appendEscape(escaped, "\\x", b);
        } else if (b == 0xC2 && next >= 0x80 && next <= 0x9F) {
            appendEscape(escaped, "\\u00", next);
            ++i;
        } else {
            escaped += static_cast<char>(b);
        }
    }
    return escaped;
}

std::string printDataText(std::string_view bytes)
{
    std::string text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '\\')
            text += "\\\\";
        else if (b < 0x20 || b >= 0x7F)
            appendEscape(text, "\\x", b);
        else
            text += c;
    }
    return text;
}

} // namespace qbx
