// Numbers and rows as the machine's files hold them. Every number written to a
// file uses the C locale whatever the interface language; numbers are read with
// the C runtime's atoi/atof prefix rules.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace smt {

// "%d"
std::string FormatInt(long long value);
// "%0.4f" exactly as printf gives it in the C locale: the binary value correctly
// rounded, "-0.0000" for negative zero, "nan"/"inf" for those.
std::string FormatMm(double value);
// printf-style formatting forced to the C locale.
// The result has whatever length the arguments need.
std::string FormatC(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatCV(const char* format, va_list args) __attribute__((format(printf, 1, 0)));

// atoi/atof: leading blanks, an optional sign, the longest leading number, 0 when
// there is none ("获取配置失败" reads as 0, "12.5mm" as 12.5, "3.7" as 3 for atoi).
int AtoI(std::string_view text);
double AtoF(std::string_view text);

// The whole text as one number: an optional '+', nothing before or after it; a
// real must be finite ("inf" and "nan" are refused). False otherwise, and for an int
// out of range.
bool ParseWhole(std::string_view text, int& out);
bool ParseWhole(std::string_view text, double& out);

// Rows are cells joined by tab with a tab after the last cell. Splitting takes every
// cell that ends in a tab; text after the last tab is ignored.
std::vector<std::string> SplitRow(std::string_view row);
std::string JoinRow(const std::vector<std::string>& cells);

// Millimetres (or degrees) to pulses: the length times its factor, truncated
// toward zero, saturated to the 32-bit range. Sums of several lengths convert each
// term on its own and add the integers (1.15 x 100 gives 114, -0.1 x 80 gives -8).
std::int32_t ToPulses(double length, double factor);
// Adds pulse terms with saturation to the 32-bit range.
std::int32_t AddPulses(std::initializer_list<std::int64_t> terms);

// The taught value of a position counter: counter / factor, moved 0.0001 away
// from zero, formatted "%0.4f" (12345 at 1000 gives "12.3451"; 0 gives "0.0000").
// A zero or non-finite factor gives "0.0000" instead of a text reading as infinity.
std::string TeachValue(std::int64_t counter, double factor);
// The same rule for a length already in millimetres: "%0.4f", read back, moved
// 0.0001 away from zero unless it reads back as 0, "%0.4f" again.
std::string TeachValueMm(double mm);

} // namespace smt
