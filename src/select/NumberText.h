#pragma once

#include <QString>

namespace tarnwick {

// One reading of a number text decides both whether it is a number and what
// it is worth, so a text the test accepts is never worth something else.
// Blanks (spaces and tabs) may stand before and after the number. The number
// itself is written in C notation: a sign, digits with at most one decimal
// point, and an exponent; no group separators, no other white space.
struct NumberReading
{
    double value = 0.0; // the leading number; 0 when the text does not begin with one
    bool whole = false; // the number and the blanks around it are the whole text, in a double's range
};
NumberReading readNumber(const QString& text);

// The numeric test of the selection inputs: the whole text reads as one
// number. An empty text, "1,000" and "\u00a01050" are no numbers.
bool isNumericText(const QString& text);

// The number a text begins with, after leading blanks. A text that does not
// begin with a number is worth 0, so "0123" is 123 and "12abc" is 12.
double leadingNumber(const QString& text);

} // namespace tarnwick
