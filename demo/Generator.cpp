#include "DemoDatabase.h"

#include <QStringList>

#include <algorithm>
#include <random>

namespace tarnwick::demo {

GeneratorOptions largeOptions()
{
    GeneratorOptions o;
    o.subscribers = 10000;
    o.privateListsPerOwner = 3;
    o.membersPerList = 15;
    o.awkwardData = false;
    return o;
}

namespace {

const QStringList kFirstNames = {
    QStringLiteral("Anna"), QStringLiteral("Ben"), QStringLiteral("Carla"), QStringLiteral("David"),
    QStringLiteral("Elena"), QStringLiteral("Farid"), QStringLiteral("Grace"), QStringLiteral("Hiro"),
    QStringLiteral("Ines"), QStringLiteral("Jonas"), QStringLiteral("Kasia"), QStringLiteral("Liam"),
    QStringLiteral("Maya"), QStringLiteral("Nils"), QStringLiteral("Olga"), QStringLiteral("Pedro"),
    QStringLiteral("Quinn"), QStringLiteral("Rosa"), QStringLiteral("Sam"), QStringLiteral("Tomás"),
    QStringLiteral("Ulla"), QStringLiteral("Victor"), QStringLiteral("Wen"), QStringLiteral("Xavier"),
    QStringLiteral("Yara"), QStringLiteral("Zoë"), QStringLiteral("Søren"), QStringLiteral("Łukasz"),
    QStringLiteral("Joanne"), QStringLiteral("José")};
const QStringList kLastNames = {
    QStringLiteral("Smith"), QStringLiteral("Jones"), QStringLiteral("Garcia"), QStringLiteral("Müller"),
    QStringLiteral("Rossi"), QStringLiteral("Novak"), QStringLiteral("Tanaka"), QStringLiteral("Okafor"),
    QStringLiteral("Larsen"), QStringLiteral("Dubois"), QStringLiteral("Kowalski"), QStringLiteral("Chen"),
    QStringLiteral("Patel"), QStringLiteral("Silva"), QStringLiteral("Ivanova"), QStringLiteral("Brown"),
    QStringLiteral("Núñez"), QStringLiteral("Berg"), QStringLiteral("Walsh"), QStringLiteral("Haddad")};
const QStringList kCosNames = {
    QStringLiteral("Default Subscriber"), QStringLiteral("Executives"), QStringLiteral("Sales"),
    QStringLiteral("Support Desk"), QStringLiteral("Engineering"), QStringLiteral("Operations"),
    QStringLiteral("Voice Mail Only"), QStringLiteral("Contractors")};
const QStringList kPublicLists = {
    QStringLiteral("All Staff"), QStringLiteral("Sales Team"), QStringLiteral("Support, Tier 2"),
    QStringLiteral("Engineering"), QStringLiteral("Managers"), QStringLiteral("Night Shift"),
    QStringLiteral("Building A"), QStringLiteral("Building B"), QStringLiteral("Fire Wardens"),
    QStringLiteral("Operators"), QStringLiteral("Executives"), QStringLiteral("New Starters")};
const QStringList kListNames = {
    QStringLiteral("My team"), QStringLiteral("Project Falcon"), QStringLiteral("Weekly call"),
    QStringLiteral("Friends"), QStringLiteral("Escalations"), QStringLiteral("Customers, key"),
    QStringLiteral("Lunch group"), QStringLiteral("Reviewers"), QStringLiteral("On call"),
    QStringLiteral("Board \"inner\" circle")};

// Texts that a reader of the CSV file must take whole: separators, quotes and line ends inside a cell, letters
// beyond Latin-1 (and beyond the 16-bit range), blanks at the ends, and cells a spreadsheet would read as
// numbers, dates or formulas.
const QStringList kAwkwardNames = {
    QStringLiteral("Παπαδόπουλος, Νίκος"), QStringLiteral("山田 太郎"), QStringLiteral("Line one\r\nLine two"),
    QStringLiteral("Lone\nfeed"), QStringLiteral("Lone\rreturn"), QStringLiteral("\"Quoted\" start"),
    QStringLiteral("Comma, \"and\" quote\""), QStringLiteral("=1+1"), QStringLiteral("+44 20 7946 0000"),
    QStringLiteral("-5"), QStringLiteral("@SUM(A1)"), QStringLiteral("=HYPERLINK(\"http://example.com\",\"x\")"),
    QStringLiteral(" blanks at both ends "), QStringLiteral("Tab\there"), QStringLiteral("Łódź Żółć"),
    QStringLiteral("Crème brûlée, Noël"), QStringLiteral("€ and ™"), QStringLiteral("0012"),
    QStringLiteral("2026-12-07"), QStringLiteral("semi;colon|pipe"), QStringLiteral("Smile 😀"),
    QStringLiteral("No-break space first"), QString()};

QString asciiFold(QString s)
{
    s = s.normalized(QString::NormalizationForm_D);
    QString out;
    for (const QChar c : s) {
        if (c == QChar(0x0141) || c == QChar(0x0142))
            out += QLatin1Char('l');
        else if (c == QChar(0x00F8) || c == QChar(0x00D8))
            out += QLatin1Char('o');
        else if (c.unicode() < 128 && c.isLetterOrNumber())
            out += c.toLower();
    }
    return out;
}

class Ids
{
public:
    explicit Ids(std::mt19937& rng) : m_rng(rng) {}
    // Opaque identifiers shaped like the product's GUID texts.
    QString next()
    {
        std::uniform_int_distribution<unsigned> d(0, 15);
        QString s;
        s.reserve(36);
        for (int i = 0; i < 32; ++i) {
            if (i == 8 || i == 12 || i == 16 || i == 20)
                s += QLatin1Char('-');
            s += QLatin1Char("0123456789ABCDEF"[d(m_rng)]);
        }
        return s;
    }

private:
    std::mt19937& m_rng;
};

} // namespace

GeneratorSummary generateOrganisation(DemoDatabase& db, const GeneratorOptions& options)
{
    std::mt19937 rng(options.seed);
    Ids ids(rng);
    GeneratorSummary summary;
    auto pick = [&rng](const QStringList& from) {
        return from.at(std::uniform_int_distribution<int>(0, int(from.size()) - 1)(rng));
    };
    auto chance = [&rng](double p) { return std::uniform_real_distribution<double>(0, 1)(rng) < p; };

    db.beginBatch();

    QStringList cosIds;
    for (const QString& name : kCosNames) {
        cosIds.append(ids.next());
        db.addCos(cosIds.back(), name);
    }
    summary.classesOfService = int(cosIds.size());

    struct Entry { QString id; QString alias; QString displayName; };
    QList<Entry> publicLists;
    for (int i = 0; i < kPublicLists.size(); ++i) {
        Entry e{ids.next(), asciiFold(kPublicLists[i]) + QStringLiteral("dl"), kPublicLists[i]};
        db.addPublicList(e.id, e.alias, e.displayName, QString::number(7000 + i));
        publicLists.append(e);
    }
    summary.publicLists = int(publicLists.size());

    const int firstExtension = options.subscribers >= 9000 ? 10000 : 1001;
    QList<Entry> subscribers;
    QHash<QString, int> aliasUse;
    for (int i = 0; i < options.subscribers; ++i) {
        const QString first = pick(kFirstNames);
        const QString last = pick(kLastNames);
        QString alias = asciiFold(first.left(1) + last);
        if (int n = aliasUse[alias]++; n > 0)
            alias += QString::number(n + 1);
        DemoDatabase::Subscriber s;
        s.objectId = ids.next();
        if (s.objectId.size() < options.subscriberIdLength)
            s.objectId += QString(options.subscriberIdLength - s.objectId.size(), QLatin1Char('0'));
        s.alias = alias;
        s.firstName = first;
        s.lastName = last;
        s.displayName = chance(0.5) ? last + QStringLiteral(", ") + first : first + QLatin1Char(' ') + last;
        s.extension = QString::number(firstExtension + i);
        s.callHandlerId = ids.next();
        s.cosId = cosIds.at(std::uniform_int_distribution<int>(0, int(cosIds.size()) - 1)(rng));
        // Most are full subscribers (1) or voice-mail-only (3); a few are system objects.
        s.subscriberType = chance(0.85) ? 1 : (chance(0.6) ? 3 : 6);
        if (options.awkwardNames) {
            s.displayName = kAwkwardNames.at(i % kAwkwardNames.size());
            if (i % 5 == 0)
                s.alias = *s.alias + QStringLiteral(",é\"");
        }
        if (options.awkwardData) {
            switch (i) {
            case 3: s.displayName = QStringLiteral("O'Brien, Pat \"Paddy\""); s.alias = QStringLiteral("o'brien"); break;
            case 5: s.firstName = std::nullopt; s.displayName = s.lastName; break;
            case 7: s.extension = std::nullopt; break;
            case 9: s.displayName = QStringLiteral("Zhang Wěi (张伟)"); break;
            case 11: s.displayName = QStringLiteral("Dr. \"Doc\" Berg"); break;
            case 13: s.extension = QStringLiteral(" ") + *s.extension + QStringLiteral(" "); break;
            case 15: s.cosId = std::nullopt; break;  // never reaches the grid
            default: break;
            }
        }
        db.addSubscriber(s);
        // Several extensions for some subscribers (alternate numbers).
        if (s.extension && chance(0.2))
            db.addExtension(s.objectId, QString::number(firstExtension + 50000 + i));
        subscribers.append({s.objectId, s.alias.value_or(QString()), s.displayName.value_or(QString())});
    }
    summary.subscribers = int(subscribers.size());

    std::uniform_int_distribution<int> listCount(0, 2 * options.privateListsPerOwner);
    std::uniform_int_distribution<int> memberCount(1, 2 * options.membersPerList - 1);
    std::uniform_int_distribution<int> anySubscriber(0, int(subscribers.size()) - 1);
    std::uniform_int_distribution<int> anyPublic(0, int(publicLists.size()) - 1);
    for (int owner = 0; owner < subscribers.size(); ++owner) {
        int lists = listCount(rng);
        // The owners that carry the odd lists below get at least one list.
        if (options.awkwardData && (owner == 2 || owner == 4))
            lists = std::max(lists, 1);
        for (int l = 0; l < lists; ++l) {
            const QString listId = ids.next();
            const QString name =
                options.awkwardNames ? kAwkwardNames.at((owner + l) % kAwkwardNames.size()) : pick(kListNames);
            db.addPrivateList(listId, subscribers[owner].id, asciiFold(name) + QString::number(l + 1), name,
                              QString::number(l + 1));
            ++summary.privateLists;
            if (options.awkwardData && owner == 2 && l == 0)
                continue;  // a list without members
            const int members = memberCount(rng);
            for (int m = 0; m < members; ++m) {
                if (chance(0.1)) {
                    const Entry& dl = publicLists[anyPublic(rng)];
                    db.addMember(listId, 2, dl.id, dl.alias, dl.displayName);
                } else {
                    const Entry& sub = subscribers[anySubscriber(rng)];
                    db.addMember(listId, 1, sub.id, sub.alias, sub.displayName);
                }
                ++summary.memberships;
            }
            if (options.awkwardData && owner == 4 && l == 0) {
                db.addMember(listId, 5, ids.next(), QStringLiteral("fax-gateway"), QStringLiteral("Fax gateway"));
                db.addMember(listId, 1, subscribers[1].id, std::nullopt, subscribers[1].displayName);
                summary.memberships += 2;
            }
        }
    }
    if (options.bigListMembers > 0 && !subscribers.isEmpty()) {
        const QString listId = ids.next();
        db.addPrivateList(listId, subscribers[0].id, QStringLiteral("everyone"), QStringLiteral("Everyone"),
                          QStringLiteral("99"));
        ++summary.privateLists;
        for (int m = 0; m < options.bigListMembers; ++m) {
            const Entry& sub = subscribers[m % subscribers.size()];
            db.addMember(listId, 1, sub.id, sub.alias, sub.displayName);
        }
        summary.memberships += options.bigListMembers;
    }
    if (options.awkwardNames) {
        // SQLite drops a leading U+FEFF from bound UTF-16 text (it reads it as a byte-order mark): SQL puts it there.
        for (const char* table : {"Subscriber", "PersonalDList", "PersonalDListMember"})
            db.exec(QStringLiteral("UPDATE %1 SET DisplayName = char(65279) || DisplayName "
                                   "WHERE DisplayName = 'No-break space first'")
                        .arg(QLatin1String(table)));
        // Member types that are neither 1 nor 2 as numbers, though their low 32 bits or integer part are.
        for (const char* type : {"4294967297", "4294967298", "1.9999999"})
            db.exec(QStringLiteral("INSERT INTO PersonalDListMember (ParentObjectID, ObjectType, ObjectID, Alias, "
                                   "DisplayName) SELECT MIN(PersonalDListObjectID), %1, MIN(ParentObjectID), "
                                   "'type-%1', 'Type %1' FROM PersonalDList")
                        .arg(QLatin1String(type)));
    }
    db.commitBatch();
    return summary;
}

} // namespace tarnwick::demo
