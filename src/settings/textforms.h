#pragma once

#include <string>
#include <string_view>

namespace qbx {

// Hexadecimal text of a whole number: upper-case digits, no leading zeros, zero is "0".
std::string hexText(unsigned value);

// The last two characters of "00" followed by a hexadecimal text: "5" gives "05", "3C" stays.
std::string twoDigitForm(std::string_view hex);

// The number as exactly two upper-case hexadecimal digits (5 gives "05", 255 gives "FF").
// Only the low byte is used.
std::string twoDigitHex(unsigned value);

// Rounds to the nearest whole number, an exact half going to the even neighbour
// (0.5 gives 0, 1.5 gives 2, 2.5 gives 2, -2.5 gives -2). Independent of the FPU rounding mode.
double roundHalfEven(double value);

// "Version 1.1", or "Version 1.1 revision 3" when the revision is above 0.
std::string versionLine(int major, int minor, int revision);

// The text with its control characters (C0, DEL, and C1 in UTF-8) as \xHH or \u00HH and a
// backslash as \\: safe to print as one line whatever it holds.
std::string escapedText(std::string_view text);

// Print data as one line of text: printable ASCII as it is, a backslash as \\, any other byte
// (a control code, a letter of the printer's code page) as \xHH.
std::string printDataText(std::string_view bytes);

} // namespace qbx
