#pragma once

#include <string_view>

namespace qbx {

// The number with which a text begins, as entered into the window's text boxes:
// ' 12.5 mm' reads 12.5, '30s' reads 30, '2,5s' reads 2, 'abc' and '' read 0.
//
// Blanks, tabs and line feeds are skipped wherever they stand ('1 2' reads 12). Then come an
// optional sign, digits, optionally '.' and more digits, and optionally an exponent ('E' or 'D'
// in either case, an optional sign, digits). Reading stops at the first character that cannot
// continue the number. '.' is the decimal point whatever the locale. Magnitudes beyond double
// precision read as plus or minus infinity, tiny ones as zero; the result is never NaN.
double leadingNumber(std::string_view text);

} // namespace qbx
