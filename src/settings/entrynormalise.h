#pragma once

#include <string>

namespace qbx {

// The arithmetic of the window's two entries, shared with the command line so that both round a
// value the same way.

// Cut offset in millimetres: rounded in single precision to the quarter-millimetre grid (an
// exact half of a quarter going to the even count) and limited to -10 .. 31.75. Any input,
// infinities and NaN included, gives a value in that range.
float normaliseCutOffset(float millimetres);

// A double read from a text box as single precision. Magnitudes beyond what single precision
// holds saturate to its largest finite value and NaN gives 0, where a plain conversion would be
// undefined.
float singlePrecision(double value);

// ' 12.5mm', ' 0mm', '-9.75mm': a blank before a value that is not negative, '.' as the decimal
// point, no trailing zeros, the unit "mm" directly after.
std::string cutOffsetText(float millimetres);

// Presenter delay in seconds: rounded down (towards minus infinity) to whole half seconds and
// limited to 0 .. 127.5, what the printer's one-byte timer holds.
double normalisePresenterDelay(double seconds);

// '2.5s', '30s', '0s': '.' as the decimal point, no trailing zeros, the unit "s" directly after.
std::string presenterDelayText(double seconds);

// "-10 to 31.75 mm" and "0 to 127.5 s": what the printer takes, for help and messages.
std::string cutOffsetRangeText();
std::string presenterDelayRangeText();

} // namespace qbx
