#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>

namespace tarnwick::test {

// A small HTTP server on 127.0.0.1 that answers each path from a script: a
// page with a status, or silence (the connection is kept and never answered).
// Unknown paths get a 404. It runs on the test's thread, so it answers while
// the code under test waits in its own event loop.
class ScriptedHttpServer : public QObject
{
public:
    struct Reply
    {
        int status = 200;
        QByteArray body;
        bool silent = false;
    };

    ScriptedHttpServer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] { accept(); });
    }

    bool isListening() const { return m_server.isListening(); }
    void serve(const QByteArray& path, Reply reply) { m_script.insert(path, std::move(reply)); }
    QString url(const QByteArray& path) const
    {
        return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()) +
               QString::fromLatin1(path);
    }

    // The head of every request received, in order.
    QList<QByteArray> requests;

private:
    void accept()
    {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            QObject::connect(socket, &QTcpSocket::readyRead, this,
                             [this, socket] { read(socket); });
        }
    }

    void read(QTcpSocket* socket)
    {
        QByteArray& pending = m_pending[socket];
        pending += socket->readAll();
        const qsizetype end = pending.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QByteArray head = pending.left(end);
        requests.append(head);
        const QByteArray path = head.split(' ').value(1);
        const Reply reply =
            m_script.value(path, Reply{404, QByteArrayLiteral("<html>Not Found</html>"), false});
        if (reply.silent)
            return;
        const QByteArray reason =
            reply.status == 200 ? QByteArrayLiteral("OK") : QByteArrayLiteral("Not Found");
        socket->write("HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reason + "\r\n" +
                      "Content-Type: text/html\r\n" +
                      "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n" +
                      "Connection: close\r\n\r\n" + reply.body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QByteArray, Reply> m_script;
    QHash<QTcpSocket*, QByteArray> m_pending;
};

// A page laid out the way the home site publishes the version: the font
// name also appears before the marker, which must not count.
inline QByteArray versionPage(const QByteArray& version)
{
    return QByteArrayLiteral("<html><head><title>Tarnwick</title></head><body>\r\n"
                             "<table><tr><td><font face=\"Helvetica\">Tarnwick</font></td></tr>\r\n"
                             "<tr><td><b>Version</b></td><td><font face=\"Helvetica\">") +
           version + QByteArrayLiteral("</font></td></tr></table></body></html>\r\n");
}

} // namespace tarnwick::test
