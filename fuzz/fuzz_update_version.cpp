// Any bytes as the tool's home page: the published version read from it is digits and points only, and widened
// versions compare as the versions do (parts of up to four digits, the same number of parts). The input's first
// line and the rest are the two versions compared.
#include "FuzzSupport.h"

#include "platform/ProgramInfo.h"
#include "support/RecordingUserInterface.h"
#include "update/UpdateCheck.h"

#include <QRegularExpression>

using namespace tarnwick;

namespace {

// -1, 0 or 1 as the dotted numbers compare part by part.
int compareParts(const QStringList& a, const QStringList& b)
{
    for (qsizetype i = 0; i < a.size(); ++i) {
        const int x = a[i].toInt(), y = b[i].toInt();
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

int sign(int n)
{
    return (n > 0) - (n < 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static test::RecordingUserInterface ui;
    static test::RecordingShell shell;
    static const ProgramInfo program = ProgramInfo::inFolder(QStringLiteral("/nonexistent"));
    static UpdateCheck check(ui, shell, program, HomePage{});
    static const QRegularExpression dottedNumber(
        QRegularExpression::anchoredPattern(QStringLiteral("\\d{1,4}(\\.\\d{1,4}){1,5}")));
    ui.clear();

    const QString page = QString::fromLatin1(fuzz::bytesOf(data, size));
    const QString published = check.PageVersion(page);
    for (QChar c : published)
        fuzz::require(c.isDigit() || c == u'.', "the version holds more than digits and points", published);

    const qsizetype newline = page.indexOf(u'\n');
    if (newline < 0)
        return 0;
    const QString a = page.left(newline), b = page.mid(newline + 1);
    if (!dottedNumber.match(a).hasMatch() || !dottedNumber.match(b).hasMatch() || a.count(u'.') != b.count(u'.'))
        return 0;
    if (a.size() < 4 || b.size() < 4) // too short to be a version: both widen to nothing
        return 0;
    const QString wa = check.PadVersionString(a), wb = check.PadVersionString(b);
    fuzz::require(sign(wa.compare(wb)) == compareParts(a.split(u'.'), b.split(u'.')), "widened versions misorder",
                  a + QStringLiteral(" / ") + b + QStringLiteral(" -> ") + wa + QStringLiteral(" / ") + wb);
    fuzz::require(check.PadVersionString(wa) == wa, "widening twice changes the text", wa);
    fuzz::require(ui.shown.isEmpty(), "widening a version reported", ui.texts().join(u'\n'));
    return 0;
}
