// Any text as a selection input: the numeric test and the value agree. A number the test accepts is worth what
// the whole text spells where a locale's notation reads it, and a plain number in C notation with spaces or tabs
// around it passes the test and keeps its value.
#include "FuzzSupport.h"

#include "select/NumberText.h"

#include <QLocale>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>

using namespace tarnwick;

namespace {

// The number a whole text spells in the C notation (sign, digits, point, exponent), spaces and tabs around allowed.
std::optional<double> plainNumber(const QByteArray& text)
{
    qsizetype from = 0, to = text.size();
    while (from < to && (text[from] == ' ' || text[from] == '\t'))
        ++from;
    while (to > from && (text[to - 1] == ' ' || text[to - 1] == '\t'))
        --to;
    // A copy: the input is not terminated, and strtod reads to a terminator.
    const std::string t = text.mid(from, to - from).toStdString();
    if (t.empty() || t.size() > 64)
        return std::nullopt;
    size_t i = 0, digits = 0;
    auto run = [&] {
        while (i < t.size() && t[i] >= '0' && t[i] <= '9')
            ++i, ++digits;
    };
    if (t[i] == '+' || t[i] == '-')
        ++i;
    run();
    if (i < t.size() && t[i] == '.')
        ++i, run();
    if (digits == 0)
        return std::nullopt;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-'))
            ++i;
        const size_t before = digits;
        run();
        if (digits == before)
            return std::nullopt;
    }
    if (i != t.size())
        return std::nullopt;
    errno = 0;
    const double v = std::strtod(t.c_str(), nullptr);
    if (errno == ERANGE || !std::isfinite(v))
        return std::nullopt;
    return v;
}

// What the test's own notation makes of the whole text, where it reads it as a number.
std::optional<double> localeNumber(const QString& text)
{
    bool ok = false;
    double v = QLocale::system().toDouble(text.trimmed(), &ok);
    if (!ok)
        v = QLocale::c().toDouble(text.trimmed(), &ok);
    return ok ? std::optional(v) : std::nullopt;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = fuzz::bytesOf(data, size);
    const QString text = QString::fromLatin1(bytes);
    const bool numeric = isNumericText(text);
    const double value = leadingNumber(text);
    if (const std::optional<double> plain = plainNumber(bytes)) {
        fuzz::require(numeric, "a plain number fails the test", text);
        fuzz::require(value == *plain, "a plain number's value differs", text);
    }
    if (numeric) {
        fuzz::require(std::isfinite(value), "a number worth infinity", text);
        if (const std::optional<double> read = localeNumber(text))
            fuzz::require(value == *read, "the test read another number than the value", text);
    }
    return 0;
}
