#include "export/ExportComparison.h"

#include "export/PrivateListWalk.h"
#include "platform/FileSystem.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <array>
#include <cerrno>
#include <limits>
#include <optional>
#include <vector>

namespace tarnwick {

const QString ExportComparison::kReportHeader =
    QStringLiteral("CHANGE,OWNER_ALIAS,LIST_ID,LIST_NAME,MEMBER_TYPE,MEMBER_ALIAS,PREVIOUS,CURRENT");
const QString ExportComparison::kListAdded = QStringLiteral("LIST ADDED");
const QString ExportComparison::kListRemoved = QStringLiteral("LIST REMOVED");
const QString ExportComparison::kListRenamed = QStringLiteral("LIST RENAMED");
const QString ExportComparison::kMemberAdded = QStringLiteral("MEMBER ADDED");
const QString ExportComparison::kMemberRemoved = QStringLiteral("MEMBER REMOVED");
const QString ExportComparison::kExtensionChanged = QStringLiteral("EXTENSION CHANGED");

namespace {

constexpr qsizetype kColumns = 9;
constexpr qint64 kBlock = 1 << 20;
// The columns a comparison reads.
enum Column { OwnerAlias = 0, ListName = 3, ListId = 4, MemberType = 5, MemberAlias = 6, MemberExtension = 8 };

// What makes a file unreadable as an export, in words for the administrator.
struct Problem
{
    QString what;
    bool undecodable = false; // another encoding may read it
};

// The decoder for the system's code page, as the writer encodes it; empty
// for UTF-8, which is tried first anyway.
std::optional<QStringDecoder> codePageDecoder()
{
    if (FileSystem::codePageName().isEmpty())
        return std::nullopt;
    return FileSystem::codePageDecoder();
}

QString codePageLabel()
{
    const QByteArray name = FileSystem::codePageName();
    return name.isEmpty() ? QStringLiteral("UTF-8") : QString::fromLatin1(name);
}

// The records of an RFC 4180 file, one block at a time: fields separated by
// commas; a field between double quotes may hold commas, CR, LF and doubled
// double quotes; a record ends at CR LF, LF or CR.
class CsvRecords
{
public:
    CsvRecords(QIODevice& device, QStringDecoder decoder, QString decoderName)
        : m_device(device), m_decoder(std::move(decoder)), m_decoderName(std::move(decoderName))
    {
    }

    // The next record's fields, valid until the next call; false at the end.
    // A blank line is no record. Throws Problem.
    bool next(std::vector<QStringView>& fields)
    {
        for (;;) {
            if (m_pos >= m_text.size() && !fill())
                return false;
            if (parse(fields)) {
                if (fields.size() == 1 && fields[0].isEmpty())
                    continue;
                return true;
            }
            if (!fill()) // the last record runs to the end of the file
                m_eof = true;
        }
    }
    // The line of the file the last record began on.
    qint64 line() const { return m_recordLine; }

private:
    struct Span
    {
        qsizetype begin, end;
        bool doubledQuotes;
    };

    // Appends the next block; false at the end of the file.
    bool fill()
    {
        if (m_eof)
            return false;
        const QByteArray raw = m_device.read(kBlock);
        if (raw.isEmpty()) {
            m_eof = true;
            return false;
        }
        m_text.remove(0, m_pos);
        m_pos = 0;
        const qsizetype before = m_text.size();
        m_text.resize(before + m_decoder.requiredSpace(raw.size()));
        QChar* end = m_decoder.appendToBuffer(m_text.data() + before, raw);
        m_text.truncate(end - m_text.constData());
        const QStringView added = QStringView(m_text).sliced(before);
        if (m_decoder.hasError()) {
            const qsizetype bad = added.indexOf(QChar::ReplacementCharacter);
            const qint64 line = m_linesDecoded + added.first(bad < 0 ? added.size() : bad).count(u'\n') + 1;
            throw Problem{QStringLiteral("Line %1 cannot be read in %2").arg(line).arg(m_decoderName), true};
        }
        m_linesDecoded += added.count(u'\n');
        return true;
    }

    [[noreturn]] void malformed(const QString& what) const
    {
        throw Problem{QStringLiteral("Line %1 %2: it is not an export of this program.").arg(m_line).arg(what)};
    }

    // One record from m_pos; false when the block ends inside it and more may come.
    bool parse(std::vector<QStringView>& fields)
    {
        const QChar* d = m_text.constData();
        const qsizetype n = m_text.size();
        qsizetype p = m_pos;
        qint64 lines = 0; // line ends inside quoted fields
        m_spans.clear();
        for (;;) {
            if (p < n && d[p] == u'"') {
                const qsizetype begin = ++p;
                bool doubled = false;
                for (;;) {
                    const qsizetype quote = QStringView(d + p, n - p).indexOf(u'"');
                    if (quote < 0) {
                        if (m_eof)
                            malformed(QStringLiteral("opens a quoted field that is never closed"));
                        return false;
                    }
                    p += quote + 1;
                    if (p == n && !m_eof)
                        return false; // a doubled quote may go on in the next block
                    if (p < n && d[p] == u'"') {
                        doubled = true;
                        ++p;
                        continue;
                    }
                    break;
                }
                lines += QStringView(d + begin, p - 1 - begin).count(u'\n');
                m_spans.push_back({begin, p - 1, doubled});
                if (p < n && d[p] != u',' && d[p] != u'\r' && d[p] != u'\n')
                    malformed(QStringLiteral("has text after a closing double quote"));
            } else {
                const qsizetype begin = p;
                while (p < n && d[p] != u',' && d[p] != u'\r' && d[p] != u'\n')
                    ++p;
                m_spans.push_back({begin, p, false});
            }
            if (p == n) {
                if (!m_eof)
                    return false;
                break;
            }
            if (d[p] == u',') {
                ++p;
                continue;
            }
            if (d[p] == u'\r') {
                if (p + 1 == n && !m_eof)
                    return false; // CR LF may be split between two blocks
                if (p + 1 < n && d[p + 1] == u'\n')
                    ++p;
            }
            ++p;
            break;
        }
        m_pos = p;
        m_recordLine = m_line;
        m_line += 1 + lines;
        // Doubled quotes are undone in place: the record is whole, and the text only shrinks.
        QChar* w = m_text.data();
        fields.clear();
        for (const Span& s : m_spans) {
            if (!s.doubledQuotes) {
                fields.emplace_back(w + s.begin, s.end - s.begin);
                continue;
            }
            qsizetype out = s.begin;
            for (qsizetype i = s.begin; i < s.end; ++i) {
                w[out++] = w[i];
                if (w[i] == u'"')
                    ++i;
            }
            fields.emplace_back(w + s.begin, out - s.begin);
        }
        return true;
    }

    QIODevice& m_device;
    QStringDecoder m_decoder;
    QString m_decoderName;
    QString m_text;
    qsizetype m_pos = 0;
    bool m_eof = false;
    qint64 m_line = 1;       // of the record after the last one read
    qint64 m_recordLine = 0; // of the last record read
    qint64 m_linesDecoded = 0;
    std::vector<Span> m_spans;
};

// Reads a whole export, header first, handing each member row to `row`. `decoders` are tried in turn while
// one finds text it cannot read; `restart` forgets what an attempt handed over. Throws Problem.
template <typename Row, typename Restart>
void readExport(const QString& path, std::vector<std::pair<QStringDecoder, QString>> decoders, Row row, Restart restart)
{
    std::optional<Problem> first; // what the first encoding tried could not read
    bool marked = false;
    for (size_t attempt = 0;; ++attempt) {
        QFile file(path);
        errno = 0;
        if (!file.open(QIODevice::ReadOnly)) {
            if (!file.exists())
                throw Problem{QStringLiteral("There is no such file.")};
            throw Problem{QStringLiteral("It cannot be opened: ") + FileSystem::lastFailure().description() +
                          QLatin1Char('.')};
        }
        const QByteArray start = file.peek(3);
        if (start.startsWith("\xFF\xFE") || start.startsWith("\xFE\xFF"))
            throw Problem{QStringLiteral("It is in UTF-16, which this program cannot read: exports are in the "
                                         "system's code page or in UTF-8.")};
        if (start == "\xEF\xBB\xBF") { // a byte-order mark says UTF-8, whatever the code page
            file.read(3);
            decoders.erase(decoders.begin() + 1, decoders.end());
            decoders.front() = {QStringDecoder(QStringConverter::Utf8), QStringLiteral("UTF-8")};
            marked = true;
        }
        auto& [decoder, name] = decoders[attempt];
        CsvRecords records(file, std::move(decoder), name);
        std::vector<QStringView> fields;
        try {
            QString header;
            if (records.next(fields)) {
                for (size_t i = 0; i < fields.size(); ++i) {
                    if (i > 0)
                        header += QLatin1Char(',');
                    header += fields[i];
                }
            }
            if (header != MembershipCsv::kHeader)
                throw Problem{fields.empty() ? QStringLiteral("It is empty: it is not an export of this program.")
                                             : QStringLiteral("Its first line is not the header of an export of "
                                                              "this program (") +
                                                   MembershipCsv::kHeader + QStringLiteral(").")};
            while (records.next(fields)) {
                if (qsizetype(fields.size()) != kColumns)
                    throw Problem{QStringLiteral("Line %1 has %2 fields instead of %3: it is not an export of this "
                                                 "program.")
                                      .arg(records.line())
                                      .arg(fields.size())
                                      .arg(kColumns)};
                row(fields);
            }
            return;
        } catch (Problem& problem) {
            if (!problem.undecodable)
                throw;
            if (!first)
                first = problem;
            if (attempt + 1 < decoders.size()) {
                restart();
                continue;
            }
            first->what += marked                ? QStringLiteral(", which its byte-order mark names")
                           : decoders.size() > 1 ? QStringLiteral(" nor in the system's code page (") +
                                                       decoders.back().second + QStringLiteral(")")
                                                 : QStringLiteral(", the system's code page");
            first->what += QStringLiteral(": the file is in an encoding this program cannot read.");
            throw *first;
        }
    }
}

// The decoders an earlier export is tried with: UTF-8, which a byte-order
// mark may have been stripped from, then the code page when it is another.
std::vector<std::pair<QStringDecoder, QString>> previousDecoders()
{
    std::vector<std::pair<QStringDecoder, QString>> decoders;
    decoders.emplace_back(QStringDecoder(QStringConverter::Utf8), QStringLiteral("UTF-8"));
    if (std::optional<QStringDecoder> codePage = codePageDecoder())
        decoders.emplace_back(std::move(*codePage), codePageLabel());
    return decoders;
}

// A piece of text kept in the index's one buffer.
struct Text
{
    quint32 offset = 0;
    quint32 size = 0;
};

// Open addressing over entry numbers: slots hold number + 1, 0 is empty.
class Slots
{
public:
    // The slot for `hash` whose entry `equal` accepts, or the empty slot where it would go.
    template <typename Equal> quint32& find(size_t hash, Equal equal)
    {
        const size_t mask = m_slots.size() - 1;
        for (size_t i = hash & mask;; i = (i + 1) & mask) {
            quint32& slot = m_slots[i];
            if (slot == 0 || equal(slot - 1))
                return slot;
        }
    }
    // Fills an empty slot found by find(); `hashOf` gives an entry's hash when the table grows.
    template <typename HashOf> void fill(quint32& slot, quint32 entry, HashOf hashOf)
    {
        slot = entry + 1;
        if (++m_used * 2 < m_slots.size())
            return;
        std::vector<quint32> old(m_slots.size() * 2, 0);
        old.swap(m_slots);
        const size_t mask = m_slots.size() - 1;
        for (const quint32 s : old) {
            if (s == 0)
                continue;
            size_t i = hashOf(s - 1) & mask;
            while (m_slots[i] != 0)
                i = (i + 1) & mask;
            m_slots[i] = s;
        }
    }

private:
    std::vector<quint32> m_slots = std::vector<quint32>(1024, 0);
    size_t m_used = 0;
};

} // namespace

// The lists and members of the earlier export, and those of the new one
// that it lacks.
struct ExportComparison::Index
{
    struct List
    {
        Text owner, id, name, newName;
        quint32 hash;
        bool inPrevious, inCurrent, removalWritten;
    };
    struct Member
    {
        quint32 list, type;
        Text alias, extension;
        quint32 hash;
        bool inPrevious, inCurrent;
    };

    QString chars;
    std::vector<QString> types; // the member types met, each once
    std::vector<List> lists;
    std::vector<Member> members;
    Slots listSlots, memberSlots;
    size_t previousMembers = 0;

    QStringView view(Text t) const { return QStringView(chars).sliced(t.offset, t.size); }
    Text keep(QStringView text)
    {
        if (quint64(chars.size()) + quint64(text.size()) > std::numeric_limits<quint32>::max())
            throw Problem{QStringLiteral("It is too large to compare.")};
        const Text t{quint32(chars.size()), quint32(text.size())};
        chars.append(text);
        return t;
    }
    quint32 typeOf(QStringView type)
    {
        for (size_t i = 0; i < types.size(); ++i) {
            if (types[i] == type)
                return quint32(i);
        }
        types.push_back(type.toString());
        return quint32(types.size() - 1);
    }
    static quint32 listHash(QStringView owner, QStringView id) { return quint32(qHash(id, qHash(owner, 0))); }
    static quint32 memberHash(quint32 list, quint32 type, QStringView alias)
    {
        return quint32(qHash(alias, (size_t(list) << 8) ^ type));
    }
    quint32& listSlot(quint32 hash, QStringView owner, QStringView id)
    {
        return listSlots.find(hash, [&](quint32 i) {
            const List& l = lists[i];
            return l.hash == hash && view(l.id) == id && view(l.owner) == owner;
        });
    }
    quint32& memberSlot(quint32 hash, quint32 list, quint32 type, QStringView alias)
    {
        return memberSlots.find(hash, [&](quint32 i) {
            const Member& m = members[i];
            return m.hash == hash && m.list == list && m.type == type && view(m.alias) == alias;
        });
    }
    quint32 addList(quint32& slot, quint32 hash, const std::vector<QStringView>& f, bool previous)
    {
        const Text name = keep(f[ListName]);
        lists.push_back({keep(f[OwnerAlias]), keep(f[ListId]), name, name, hash, previous, !previous, false});
        listSlots.fill(slot, quint32(lists.size() - 1), [this](quint32 i) { return lists[i].hash; });
        return quint32(lists.size() - 1);
    }
    void addMember(quint32& slot, quint32 hash, quint32 list, quint32 type, const std::vector<QStringView>& f,
                   bool previous)
    {
        members.push_back({list, type, keep(f[MemberAlias]), previous ? keep(f[MemberExtension]) : Text{}, hash,
                           previous, !previous});
        memberSlots.fill(slot, quint32(members.size() - 1), [this](quint32 i) { return members[i].hash; });
    }

    // A row of the earlier export; a list or member met again keeps what it first said.
    void addPrevious(const std::vector<QStringView>& f)
    {
        const quint32 lh = listHash(f[OwnerAlias], f[ListId]);
        quint32& ls = listSlot(lh, f[OwnerAlias], f[ListId]);
        const quint32 list = ls != 0 ? ls - 1 : addList(ls, lh, f, true);
        const quint32 type = typeOf(f[MemberType]);
        const quint32 mh = memberHash(list, type, f[MemberAlias]);
        quint32& ms = memberSlot(mh, list, type, f[MemberAlias]);
        if (ms == 0)
            addMember(ms, mh, list, type, f, true);
    }
};

qint64 ExportComparison::Counts::total() const
{
    return listsAdded + listsRemoved + listsRenamed + membersAdded + membersRemoved + extensionsChanged;
}

QString ExportComparison::Counts::text() const
{
    return QStringLiteral("lists added: %1, lists removed: %2, lists renamed: %3, members added: %4, "
                          "members removed: %5, extensions changed: %6")
        .arg(listsAdded)
        .arg(listsRemoved)
        .arg(listsRenamed)
        .arg(membersAdded)
        .arg(membersRemoved)
        .arg(extensionsChanged);
}

ExportComparison::ExportComparison() = default;
ExportComparison::~ExportComparison() = default;

QString ExportComparison::reportPathFor(const QString& outputPath)
{
    // The folder part stays as it was given, relative or not.
    const QFileInfo output(outputPath);
    return outputPath.left(outputPath.size() - output.fileName().size()) + output.completeBaseName() +
           QStringLiteral(".changes.csv");
}

QString ExportComparison::readPrevious(const QString& path)
{
    auto index = std::make_unique<Index>();
    const auto restart = [&index] { index = std::make_unique<Index>(); };
    try {
        readExport(
            path, previousDecoders(), [&index](const std::vector<QStringView>& f) { index->addPrevious(f); }, restart);
    } catch (const Problem& problem) {
        m_previous.reset();
        return problem.what;
    }
    index->previousMembers = index->members.size();
    // Held through the export: without the room left for growing.
    index->chars.squeeze();
    index->lists.shrink_to_fit();
    index->members.shrink_to_fit();
    m_previous = std::move(index);
    return {};
}

ExportComparison::Counts ExportComparison::compare(const QString& currentPath, TextFileWriter::Encoding encoding,
                                                   const QString& reportPath)
{
    if (!m_previous)
        throw Failure(ErrorNumber::InvalidProcedureCall, QStringLiteral("No previous export was read"));
    Index& x = *m_previous;
    Counts counts;
    TextFileWriter report;
    report.open(reportPath, TextFileWriter::Mode::Replace, encoding);
    report.writeLine(kReportHeader);
    const auto write = [&report](const QString& change, QStringView owner, QStringView id, QStringView name,
                                 QStringView type, QStringView alias, QStringView before, QStringView after) {
        const std::array<QStringView, 7> values{owner, id, name, type, alias, before, after};
        QString line = change;
        for (const QStringView v : values)
            line += QLatin1Char(',') + MembershipCsv::field(v.toString());
        report.writeLine(line);
    };

    // The new file's rows in order: lists it adds or renames, members it adds or gives another extension.
    std::vector<std::pair<QStringDecoder, QString>> decoders;
    if (encoding == TextFileWriter::Encoding::Utf8WithBom)
        decoders.emplace_back(QStringDecoder(QStringConverter::Utf8), QStringLiteral("UTF-8"));
    else
        decoders.emplace_back(codePageDecoder().value_or(QStringDecoder(QStringConverter::Utf8)), codePageLabel());
    const auto row = [&](const std::vector<QStringView>& f) {
        const quint32 lh = Index::listHash(f[OwnerAlias], f[ListId]);
        quint32& ls = x.listSlot(lh, f[OwnerAlias], f[ListId]);
        if (ls == 0) {
            x.addList(ls, lh, f, false);
            ++counts.listsAdded;
            write(kListAdded, f[OwnerAlias], f[ListId], f[ListName], {}, {}, {}, {});
            return;
        }
        Index::List& list = x.lists[ls - 1];
        if (!list.inCurrent) {
            list.inCurrent = true;
            if (x.view(list.name) != f[ListName]) {
                list.newName = x.keep(f[ListName]);
                ++counts.listsRenamed;
                write(kListRenamed, f[OwnerAlias], f[ListId], f[ListName], {}, {}, x.view(list.name), f[ListName]);
            }
        }
        if (!list.inPrevious)
            return; // a list the new file adds: one row says so
        const quint32 listNumber = ls - 1, type = x.typeOf(f[MemberType]);
        const quint32 mh = Index::memberHash(listNumber, type, f[MemberAlias]);
        quint32& ms = x.memberSlot(mh, listNumber, type, f[MemberAlias]);
        if (ms == 0) {
            x.addMember(ms, mh, listNumber, type, f, false);
            ++counts.membersAdded;
            write(kMemberAdded, f[OwnerAlias], f[ListId], f[ListName], f[MemberType], f[MemberAlias], {},
                  f[MemberExtension]);
            return;
        }
        Index::Member& member = x.members[ms - 1];
        if (member.inCurrent)
            return;
        member.inCurrent = true;
        if (x.view(member.extension) != f[MemberExtension]) {
            ++counts.extensionsChanged;
            write(kExtensionChanged, f[OwnerAlias], f[ListId], f[ListName], f[MemberType], f[MemberAlias],
                  x.view(member.extension), f[MemberExtension]);
        }
    };
    try {
        readExport(currentPath, std::move(decoders), row, [] {});
    } catch (const Problem& problem) {
        throw Failure(ErrorNumber::InvalidProcedureCall, currentPath + QStringLiteral(": ") + problem.what);
    }

    // Then what the new file lacks, in the earlier file's order.
    for (size_t i = 0; i < x.previousMembers; ++i) {
        const Index::Member& member = x.members[i];
        Index::List& list = x.lists[member.list];
        if (!list.inCurrent) {
            if (!list.removalWritten) {
                list.removalWritten = true;
                ++counts.listsRemoved;
                write(kListRemoved, x.view(list.owner), x.view(list.id), x.view(list.name), {}, {}, {}, {});
            }
        } else if (!member.inCurrent) {
            ++counts.membersRemoved;
            write(kMemberRemoved, x.view(list.owner), x.view(list.id), x.view(list.newName), x.types[member.type],
                  x.view(member.alias), x.view(member.extension), {});
        }
    }
    report.close();
    return counts;
}

} // namespace tarnwick
