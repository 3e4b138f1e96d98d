#include "update/UpdateCheck.h"

#include "base/Failure.h"
#include "base/StepRunner.h"
#include "base/UserInterface.h"
#include "platform/ProgramInfo.h"
#include "platform/Shell.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringDecoder>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <memory>
#include <utility>

namespace tarnwick {

namespace {

const QString kProcedureOwner = QStringLiteral("Module modUpdateCheck");

// Access type 0 follows the system's proxy settings, anything else goes
// direct. Loopback never goes through a proxy: no proxy can reach the
// caller's own loopback, and asking the system (proxy auto-discovery) for it
// would only cost time.
class AccessTypeProxies : public QNetworkProxyFactory
{
public:
    explicit AccessTypeProxies(qint32 accessType) : m_accessType(accessType) {}

    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override
    {
        const QString host = query.peerHostName();
        if (m_accessType != UpdateCheck::kAccessPreconfigured ||
            host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0 || QHostAddress(host).isLoopback())
            return {QNetworkProxy(QNetworkProxy::NoProxy)};
        return systemProxyForQuery(query);
    }

private:
    qint32 m_accessType;
};

// The text before the point; a missing point makes a negative length, which
// fails as the old string function did.
QString textBefore(const QString& text, qsizetype point)
{
    if (point < 0)
        throw Failure(ErrorNumber::InvalidProcedureCall, QStringLiteral("Invalid procedure call or argument"));
    return text.left(point);
}

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// One part as a whole number of at least four digits ("0###"). Done on the
// text so that a part of any length keeps all its digits.
QString widenPart(const QString& part)
{
    if (part.isEmpty() || !std::all_of(part.cbegin(), part.cend(), isAsciiDigit))
        return part;
    qsizetype firstSignificant = 0;
    while (firstSignificant < part.size() - 1 && part.at(firstSignificant) == u'0')
        ++firstSignificant;
    return part.mid(firstSignificant).rightJustified(4, u'0');
}

} // namespace

UpdateCheck::UpdateCheck(UserInterface& ui, Shell& shell, const ProgramInfo& program, HomePage home)
    : m_ui(ui), m_shell(shell), m_program(program), m_home(std::move(home))
{
}

void UpdateCheck::CheckForUpdatedVersion()
{
    m_cancelled = false;
    const QString published = GetHomePageVersion(m_home.url);
    if (m_cancelled)
        return;
    const QString running = PadVersionString(m_program.versionText());

    if (published.isEmpty()) {
        m_ui.showMessage(QStringLiteral("Unable to contact application home page to check for version.  "
                                        "You can access the home page and check for updated versions of "
                                        "all Brenlow Orvane tools by going to ") +
                         m_home.site);
        return;
    }
    // Widened texts compare as versions character by character.
    if (running.compare(published) >= 0) {
        m_ui.showMessage(QStringLiteral("You have the most up to date version of this tool installed"));
        return;
    }
    const bool open =
        m_ui.askOkCancel(QStringLiteral("An updated version of this tool is available on ") + m_home.site +
                             QStringLiteral(".  Click OK to open the application home page now"),
                         QStringLiteral("Updated version is available"));
    if (open)
        m_shell.openDocument(m_home.url);
}

QString UpdateCheck::GetHomePageVersion(const QString& url)
{
    return PageVersion(GetUrlText(url, kAccessPreconfigured));
}

QString UpdateCheck::PageVersion(const QString& text)
{
    if (text.size() < 10)
        return {};

    const qsizetype marker = text.indexOf(QStringLiteral(">version<"), 0, Qt::CaseInsensitive);
    if (marker < 0)
        return {};

    // The version follows the font name and the two characters that close it
    // and its tag (Helvetica">). Without the font after the marker the scan
    // starts at the page's 11th character, as it always has.
    const qsizetype font = text.indexOf(QStringLiteral("Helvetica"), marker, Qt::CaseInsensitive);
    qsizetype scan = (font >= 0 ? font : -1) + 11;

    QString version;
    while (scan < text.size() && (isAsciiDigit(text.at(scan)) || text.at(scan) == u'.'))
        version += text.at(scan++);
    return PadVersionString(version);
}

QString UpdateCheck::GetUrlText(const QString& url, qint32 accessType)
{
    QNetworkAccessManager manager;
    manager.setProxyFactory(new AccessTypeProxies(accessType));

    QNetworkRequest request{QUrl(url)};
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("HTTP Generic"));
    std::unique_ptr<QNetworkReply> reply(manager.get(request));

    // The window goes on drawing and answering while the page comes (a
    // Cancel among what it answers); the deadline turns a silent server into
    // an empty download.
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(m_home.timeout);
    if (!reply->isFinished() && !m_cancelled) {
        if (m_waitShown)
            m_waitShown(true);
        m_waiting = &loop;
        loop.exec();
        m_waiting = nullptr;
        if (m_waitShown)
            m_waitShown(false);
    }

    QString text;
    if (reply->isFinished() && reply->error() == QNetworkReply::NoError) {
        // The whole page, blank stretches included.
        QStringDecoder decoder(QStringDecoder::System);
        text = decoder.decode(reply->readAll());
    } else {
        reply->abort();
    }
    return text;
}

void UpdateCheck::cancel()
{
    m_cancelled = true;
    if (m_waiting)
        m_waiting->quit();
}

QString UpdateCheck::PadVersionString(const QString& text)
{
    StepRunner steps([this](const Failure& failure) {
        m_ui.showMessage(ErrorText::inProcedure(failure, QStringLiteral("PadVersionString"), kProcedureOwner));
    });
    if (text.size() < 4)
        return {};

    qsizetype point = text.indexOf(u'.');
    QString result;
    steps.run([&] { result = widenPart(textBefore(text, point)) + u'.'; });
    while (point >= 0) {
        const qsizetype start = point + 1;
        point = text.indexOf(u'.', start);
        const QString part = point >= 0 ? text.mid(start, point - start) : text.mid(start);
        result += widenPart(part) + u'.';
    }
    result.chop(1);
    return result;
}

} // namespace tarnwick
