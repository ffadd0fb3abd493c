#include "base/numtext.h"

#include <locale.h>
#include <stdlib.h>

#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <limits>
#include <type_traits>

namespace smt {
namespace {

// The "C" locale object, made once and never freed: formatting and parsing use it
// per call so a German interface locale set in the process changes nothing.
locale_t cLocale() {
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return loc;
}

// Switches the calling thread to the C locale for its lifetime.
class CLocaleScope {
public:
    CLocaleScope() : m_previous(uselocale(cLocale())) {}
    ~CLocaleScope() { uselocale(m_previous); }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    locale_t m_previous;
};

bool isCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

template <typename T>
std::int32_t clampToInt32(T v) {
    if (v >= static_cast<T>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    if (v <= static_cast<T>(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

} // namespace

std::string FormatInt(long long value) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

std::string FormatMm(double value) {
    // to_chars with a precision gives the same digits as printf in the C locale
    // (exact binary value, correctly rounded), "-0.0000" and "nan"/"inf" included.
    char buf[std::numeric_limits<double>::max_exponent10 + 32];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 4);
    return std::string(buf, r.ptr);
}

std::string FormatCV(const char* format, va_list args) {
    CLocaleScope scope;
    char small[256];
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(small, sizeof small, format, args);
    std::string out;
    if (n >= 0 && static_cast<std::size_t>(n) < sizeof small) {
        out.assign(small, static_cast<std::size_t>(n));
    } else if (n >= 0) {
        out.resize(static_cast<std::size_t>(n));
        std::vsnprintf(out.data(), out.size() + 1, format, again);
    }
    va_end(again);
    return out;
}

std::string FormatC(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string out = FormatCV(format, args);
    va_end(args);
    return out;
}

int AtoI(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isCSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    constexpr long long kLimit = static_cast<long long>(std::numeric_limits<int>::max()) + 1;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > kLimit) value = kLimit;  // saturate; more digits change nothing
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    return static_cast<int>(value);
}

double AtoF(std::string_view text) {
    // strtod_l with the C locale applies exactly the runtime's prefix rules
    // (blanks, sign, decimal or hex digits, exponent, inf/nan); it needs a
    // terminated copy.
    std::size_t start = 0;
    while (start < text.size() && isCSpace(text[start])) ++start;
    text.remove_prefix(start);
    char small[64];
    std::string big;
    const char* p;
    if (text.size() < sizeof small) {
        text.copy(small, text.size());
        small[text.size()] = '\0';
        p = small;
    } else {
        big.assign(text);
        p = big.c_str();
    }
    return strtod_l(p, nullptr, cLocale());
}

std::vector<std::string> SplitRow(std::string_view row) {
    std::vector<std::string> cells;
    std::size_t start = 0;
    for (std::size_t tab = row.find('\t'); tab != std::string_view::npos; tab = row.find('\t', start)) {
        cells.emplace_back(row.substr(start, tab - start));
        start = tab + 1;
    }
    return cells;
}

std::string JoinRow(const std::vector<std::string>& cells) {
    std::size_t size = 0;
    for (const auto& c : cells) size += c.size() + 1;
    std::string row;
    row.reserve(size);
    for (const auto& c : cells) {
        row += c;
        row += '\t';
    }
    return row;
}

std::int32_t ToPulses(double length, double factor) {
    const double product = length * factor;
    if (std::isnan(product)) return 0;
    return clampToInt32(std::trunc(product));
}

std::int32_t AddPulses(std::initializer_list<std::int64_t> terms) {
    __int128 sum = 0;  // cannot overflow for any list a caller writes out
    for (std::int64_t t : terms) sum += t;
    return clampToInt32(sum);
}

std::string TeachValueMm(double mm) {
    // A zero or missing pulse factor gives no finite length: show zero rather
    // than a text that would read back as an endless move.
    if (!std::isfinite(mm)) return FormatMm(0.0);
    double v = AtoF(FormatMm(mm));
    if (v > 0) v += 0.0001;
    else if (v < 0) v -= 0.0001;
    return FormatMm(v);
}

std::string TeachValue(std::int64_t counter, double factor) {
    if (factor == 0 || !std::isfinite(factor)) return FormatMm(0.0);
    return TeachValueMm(static_cast<double>(counter) / factor);
}

namespace {
template <typename T>
bool ParseWholeNumber(std::string_view text, T& out) {
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    if (begin != end && *begin == '+') ++begin;  // from_chars takes no plus sign
    T value{};
    const auto result = std::from_chars(begin, end, value);
    if (begin == end || result.ec != std::errc() || result.ptr != end) return false;
    if constexpr (std::is_floating_point_v<T>) {
        if (!std::isfinite(value)) return false;
    }
    out = value;
    return true;
}
} // namespace

bool ParseWhole(std::string_view text, int& out) { return ParseWholeNumber(text, out); }
bool ParseWhole(std::string_view text, double& out) { return ParseWholeNumber(text, out); }

} // namespace smt
