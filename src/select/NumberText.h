#pragma once

#include <QString>

namespace tarnwick {

// The numeric test the selection inputs pass: a number in the system's or the
// C locale's notation, blanks around it allowed; an empty text is no number.
bool isNumericText(const QString& text);

// The number a text begins with, after leading blanks: sign, digits, a
// decimal point and an exponent. A text that does not begin with a number
// is worth 0, so "0123" is 123 and "12abc" is 12.
double leadingNumber(const QString& text);

} // namespace tarnwick
