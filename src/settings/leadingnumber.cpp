#include "settings/leadingnumber.h"

#include <charconv>
#include <limits>
#include <string>

namespace qbx {
namespace {

bool isSkipped(char c)
{
    return c == ' ' || c == '\t' || c == '\n';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Walks the text while ignoring skipped characters, so the parser below never sees them.
class Cursor
{
public:
    explicit Cursor(std::string_view text)
        : m_text(text)
    {
        skip();
    }

    bool atEnd() const { return m_pos >= m_text.size(); }
    char peek() const { return atEnd() ? '\0' : m_text[m_pos]; }
    void advance()
    {
        ++m_pos;
        skip();
    }

private:
    void skip()
    {
        while (!atEnd() && isSkipped(m_text[m_pos]))
            ++m_pos;
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
};

// Beyond this an exponent cannot change the outcome (overflow or underflow) however many digits
// the mantissa has, and the counter cannot overflow.
constexpr long kExponentCap = 1'000'000'000L;

} // namespace

double leadingNumber(std::string_view text)
{
    Cursor in(text);

    bool negative = false;
    if (in.peek() == '+' || in.peek() == '-') {
        negative = in.peek() == '-';
        in.advance();
    }

    // Significant digits only: leading zeros are dropped and the decimal point is folded into a
    // power of ten, so a thousand digits or a megabyte of zeros cost no precision and no risk.
    std::string digits;
    long pointShift = 0; // the value is 0.digits * 10^pointShift before the exponent
    bool sawDigit = false;
    for (; isDigit(in.peek()); in.advance()) {
        sawDigit = true;
        if (digits.empty() && in.peek() == '0')
            continue;
        digits.push_back(in.peek());
        if (pointShift < kExponentCap)
            ++pointShift;
    }
    if (in.peek() == '.') {
        in.advance();
        for (; isDigit(in.peek()); in.advance()) {
            sawDigit = true;
            if (digits.empty() && in.peek() == '0') {
                if (pointShift > -kExponentCap)
                    --pointShift;
                continue;
            }
            digits.push_back(in.peek());
        }
    }
    if (!sawDigit)
        return 0.0;

    long exponent = 0;
    const char e = in.peek();
    if (e == 'E' || e == 'e' || e == 'D' || e == 'd') {
        in.advance();
        bool negativeExponent = false;
        if (in.peek() == '+' || in.peek() == '-') {
            negativeExponent = in.peek() == '-';
            in.advance();
        }
        // An exponent letter without digits is not part of the number ('5E' reads 5).
        for (; isDigit(in.peek()); in.advance()) {
            if (exponent < kExponentCap)
                exponent = exponent * 10 + (in.peek() - '0');
        }
        if (negativeExponent)
            exponent = -exponent;
    }

    if (digits.empty())
        return 0.0;

    const long scale = pointShift + exponent;
    std::string normalised = "0." + digits + "e" + std::to_string(scale);
    double value = 0.0;
    const auto result = std::from_chars(normalised.data(), normalised.data() + normalised.size(), value);
    // Out of range: 0.d * 10^scale overflows when scale is positive and underflows otherwise.
    if (result.ec == std::errc::result_out_of_range)
        value = scale > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    return negative && value != 0.0 ? -value : value;
}

} // namespace qbx
