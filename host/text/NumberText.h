#ifndef MODELCORE_NUMBERTEXT_H_
#define MODELCORE_NUMBERTEXT_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "host/interfaces/ModelCoreExport.h"
#include "host/interfaces/ScoreValue.h"

// The one text form of a number, used wherever a number becomes text
// (values, scorer output, Display):
// - the shortest digits that read back to the same double;
// - fixed notation when the decimal exponent e of the first digit satisfies
//   -5 < e < 16, integral values without a decimal point
//   (3 -> "3", 2.5 -> "2.5", 100000 -> "100000", 0.0001 -> "0.0001",
//   -0 -> "-0");
// - scientific notation otherwise, with a signed exponent of at least two
//   digits ("1e-05", "1.5e+16");
// - "nan", "inf", "-inf";
// - "" for the system-missing value (NumericValue::GetSysmisValue()).

// Writes the text form of `value` into `buffer` (no terminating NUL) and
// returns its length. Allocates nothing.
MODELCORE_API std::size_t FormatNumber(double value, NumberTextBuffer& buffer);

// The text form as a view into `buffer`.
MODELCORE_API std::string_view FormatNumberView(double value, NumberTextBuffer& buffer);

// The text form as a string.
MODELCORE_API std::string NumberToString(double value);

// Reads the whole of `text` as a decimal number: blanks (spaces and tabs)
// around it are allowed, the body has the syntax of std::from_chars in
// general format, and a leading '+' is accepted ("+-1" and "++1" are not).
// Hexadecimal is not accepted, nor is a number too large or too small for
// a double ("1e400"). Returns false (leaving `value` unchanged) for any other
// text, including the empty text.
MODELCORE_API bool ParseNumber(std::string_view text, double& value);

// Reads the number at the start of `text` as an input stream of the classic
// ("C") locale reads a double, whatever the global or C locale is:
// whitespace (space, \t, \n, \v, \f, \r) skipped, then the longest prefix
// of the form [+-]digits[.digits][(e|E)[+-]digits] taken (digits on either
// side of the '.') and the rest of the text ignored. Gives
// - the correctly rounded value of that prefix (subnormals and -0 kept, a
//   magnitude below the smallest subnormal rounds to a signed 0);
// - +-DBL_MAX when its magnitude is too large for a double;
// - 0.0 when the prefix is no complete number ("", "-", ".", "1e", "1e+").
// Reads no more than the text, allocates nothing.
MODELCORE_API double ReadLeadingNumber(std::string_view text);

#endif  // MODELCORE_NUMBERTEXT_H_
