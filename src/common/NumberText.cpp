#include "common/NumberText.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace reradav {
namespace {

class Cursor {
  public:
    explicit Cursor(std::string_view text) : text_(text) {}

    // The next significant character, or -1 at the end; blanks, tabs and line feeds never count.
    int Peek() {
        while (pos_ < text_.size() &&
               (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\n')) {
            ++pos_;
        }
        return pos_ < text_.size() ? static_cast<unsigned char>(text_[pos_]) : -1;
    }
    void Take() { ++pos_; }
    std::size_t Mark() const { return pos_; }
    void Reset(std::size_t mark) { pos_ = mark; }

  private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

int DigitValue(int c, int radix) {
    int d = -1;
    if (c >= '0' && c <= '9') {
        d = c - '0';
    } else if (c >= 'a' && c <= 'f') {
        d = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
        d = c - 'A' + 10;
    }
    return d >= 0 && d < radix ? d : -1;
}

// "&H…" / "&O…": values that fit 16 bits are 16-bit signed, those that fit 32 bits are 32-bit
// signed (so &HFFFF is -1 and &H10000 is 65536); anything longer overflows.
double RadixNumber(Cursor& cur, int radix) {
    std::uint64_t value = 0;
    bool any = false;
    for (int d; (d = DigitValue(cur.Peek(), radix)) >= 0; cur.Take()) {
        any = true;
        if (value > 0xFFFFFFFFull) {
            continue;  // already too large; keep consuming digits
        }
        value = value * static_cast<unsigned>(radix) + static_cast<unsigned>(d);
    }
    if (!any) {
        return 0.0;
    }
    if (value <= 0xFFFFu) {
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(value));
    }
    if (value <= 0xFFFFFFFFull) {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    }
    return std::numeric_limits<double>::infinity();
}

std::size_t TakeDigits(Cursor& cur, std::string& out) {
    std::size_t n = 0;
    for (int c; (c = cur.Peek()) >= '0' && c <= '9'; cur.Take(), ++n) {
        out.push_back(static_cast<char>(c));
    }
    return n;
}

}  // namespace

double LeadingNumber(std::string_view text) {
    Cursor cur(text);
    int c = cur.Peek();
    if (c == '&') {
        cur.Take();
        c = cur.Peek();
        if (c == 'H' || c == 'h' || c == 'O' || c == 'o') {
            cur.Take();
            return RadixNumber(cur, (c == 'H' || c == 'h') ? 16 : 8);
        }
        return 0.0;
    }

    std::string number;
    bool negative = false;
    if (c == '+' || c == '-') {
        negative = c == '-';
        cur.Take();
    }
    std::size_t intStart = number.size();
    std::size_t digits = TakeDigits(cur, number);
    // Digits of the whole part that carry magnitude: decides overflow against underflow below.
    std::int64_t magnitude = 0;
    {
        std::size_t first = number.find_first_not_of('0', intStart);
        magnitude =
            first == std::string::npos ? 0 : static_cast<std::int64_t>(number.size() - first);
    }
    if (cur.Peek() == '.') {
        cur.Take();
        number.push_back('.');
        digits += TakeDigits(cur, number);
    }
    if (digits == 0) {
        return 0.0;
    }
    c = cur.Peek();
    std::int64_t exponent = 0;
    if (c == 'e' || c == 'E' || c == 'd' || c == 'D') {
        std::size_t mark = cur.Mark();
        cur.Take();
        std::string exp = "e";
        int s = cur.Peek();
        if (s == '+' || s == '-') {
            if (s == '-') {
                exp.push_back('-');
            }
            cur.Take();
        }
        if (TakeDigits(cur, exp) > 0) {
            number += exp;
            // A huge exponent saturates: it still outweighs any count of digits, and the sum
            // with the magnitude below cannot overflow.
            constexpr std::int64_t kHuge = std::int64_t{1} << 40;
            const auto parsed = std::from_chars(exp.data() + 1, exp.data() + exp.size(), exponent);
            if (parsed.ec != std::errc() || exponent > kHuge || exponent < -kHuge) {
                exponent = exp[1] == '-' ? -kHuge : kHuge;
            }
        } else {
            cur.Reset(mark);  // "1e" is just 1
        }
    }

    double value = 0.0;
    auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    (void)end;
    if (ec == std::errc::result_out_of_range) {
        value = magnitude + exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return negative ? -value : value;
}

std::optional<std::int16_t> RoundToInt16(double value) {
    double r = std::nearbyint(value);
    if (!(r >= -32768.0 && r <= 32767.0)) {
        return std::nullopt;
    }
    return static_cast<std::int16_t>(r);
}

std::optional<std::int32_t> RoundToInt32(double value) {
    double r = std::nearbyint(value);
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(r);
}

}  // namespace reradav
