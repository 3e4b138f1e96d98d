#pragma once

#include <QHash>
#include <QTcpServer>
#include <QTcpSocket>

namespace tarnwick::test {

// An HTTP server on 127.0.0.1 that answers each path from a script: a page with a status, or silence (the
// connection is kept and never answered); unknown paths get a 404. It runs on the test's thread, so it answers
// while the code under test waits in its own event loop.
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
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, this, [this, socket, head = QByteArray()]() mutable {
                    head += socket->readAll();
                    if (!head.contains("\r\n\r\n"))
                        return;
                    requests.append(head.left(head.indexOf("\r\n\r\n")));
                    const Reply reply = m_script.value(head.split(' ').value(1), {404, "Not Found", false});
                    if (reply.silent)
                        return;
                    socket->write(QString("HTTP/1.1 %1 Scripted\r\nContent-Length: %2\r\nConnection: close\r\n\r\n")
                                      .arg(reply.status).arg(reply.body.size()).toLatin1() + reply.body);
                    socket->disconnectFromHost();
                });
            }
        });
    }

    void serve(const QByteArray& path, const Reply& reply) { m_script.insert(path, reply); }
    QString url(const QByteArray& p) const { return QString("http://127.0.0.1:%1").arg(m_server.serverPort()) + p; }
    QList<QByteArray> requests; // the head of every request received, in order

private:
    QTcpServer m_server;
    QHash<QByteArray, Reply> m_script;
};

// A page laid out as the home site publishes it: the font name also comes before the marker, which must not count.
inline QByteArray versionPage(const QByteArray& version)
{
    return "<html><head><title>Tarnwick</title></head><body>\r\n"
           "<table><tr><td><font face=\"Helvetica\">Tarnwick</font></td></tr>\r\n"
           "<tr><td><b>Version</b></td><td><font face=\"Helvetica\">" +
           version + "</font></td></tr></table></body></html>\r\n";
}

} // namespace tarnwick::test
