#include "LinkServers.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>

#include <csignal>

namespace TestSupport {

quint16 freeLocalPort()
{
    // Below the range the system hands out for connections and port 0, where a tool's connection or
    // another server could take the port before the server listens on it.
    for (int attempt = 0; attempt < 200; ++attempt) {
        const auto port = quint16(20000 + QRandomGenerator::global()->bounded(12000));
        QTcpServer probe;
        if (probe.listen(QHostAddress::LocalHost, port))
            return port;
    }
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

LocalServer::~LocalServer()
{
    if (m_process.state() != QProcess::NotRunning) {
        ::kill(static_cast<pid_t>(m_process.processId()), SIGKILL);
        m_process.waitForFinished(10000);
    }
}

void LocalServer::start(const QString &program, const std::function<QStringList(quint16)> &arguments)
{
    m_process.setStandardInputFile(QProcess::nullDevice());
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    for (int attempt = 0; attempt < 5; ++attempt) {
        m_port = freeLocalPort();
        m_process.start(program, arguments(m_port));
        m_process.waitForStarted(10000);
        if (waitUntilListening())
            return;
        if (m_process.state() != QProcess::NotRunning) {
            ::kill(static_cast<pid_t>(m_process.processId()), SIGKILL);
            m_process.waitForFinished(10000);
        }
    }
}

bool LocalServer::waitUntilListening() const
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 20000 && m_process.state() == QProcess::Running) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, m_port);
        if (socket.waitForConnected(500))
            return true;
        QThread::msleep(50);
    }
    return false;
}

LocalSvnServe::LocalSvnServe(const QString &root)
{
    start(QStringLiteral("svnserve"), [&](quint16 port) {
        return QStringList{
            "-d", "--foreground", "--listen-host", "127.0.0.1", "--listen-port", QString::number(port), "-r", root};
    });
}

LocalGitDaemon::LocalGitDaemon(const QString &base)
{
    // The daemon itself, not `git daemon`: git would leave it behind when ended by its process id.
    QProcess execPath;
    execPath.start(QStringLiteral("git"), {QStringLiteral("--exec-path")});
    execPath.waitForFinished(10000);
    const QString daemon
        = QString::fromLocal8Bit(execPath.readAllStandardOutput().trimmed()) + QStringLiteral("/git-daemon");
    start(daemon, [&](quint16 port) {
        return QStringList{"--reuseaddr", "--export-all", "--listen=127.0.0.1", "--port=" + QString::number(port),
            "--base-path=" + base, base};
    });
}

LinkProxy::LinkProxy(quint16 target) : m_target(target)
{
    start();
    while (!m_listening)
        QThread::msleep(5);
}

LinkProxy::~LinkProxy()
{
    quit();
    wait();
}

void LinkProxy::run()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    m_port = server.serverPort();
    QObject::connect(&server, &QTcpServer::newConnection, &server, [this, &server] {
        while (QTcpSocket *client = server.nextPendingConnection()) {
            ++m_accepted;
            QObject::connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
            const Mode mode = m_mode;
            const qint64 limit = m_stallAfter;
            if (mode == Mode::drop && limit < 0) {
                client->abort();
                continue;
            }
            if (mode == Mode::stall) {
                // Kept open and silent; what the tool sends is read and thrown away.
                QObject::connect(client, &QTcpSocket::readyRead, client, [client] { client->readAll(); });
                continue;
            }
            auto *upstream = new QTcpSocket(client);
            QObject::connect(
                client, &QTcpSocket::readyRead, upstream, [client, upstream] { upstream->write(client->readAll()); });
            QObject::connect(
                upstream, &QTcpSocket::readyRead, client, [client, upstream, left = limit, mode]() mutable {
                    if (left < 0) {
                        client->write(upstream->readAll());
                    } else if (left > 0) {
                        const QByteArray bytes = upstream->read(left);
                        left -= bytes.size();
                        client->write(bytes);
                        if (left == 0 && mode == Mode::drop)
                            client->disconnectFromHost();
                    }
                });
            QObject::connect(
                upstream, &QTcpSocket::connected, client, [client, upstream] { upstream->write(client->readAll()); });
            QObject::connect(upstream, &QTcpSocket::disconnected, client, [client] { client->disconnectFromHost(); });
            QObject::connect(
                client, &QTcpSocket::disconnected, upstream, [upstream] { upstream->disconnectFromHost(); });
            upstream->connectToHost(QHostAddress::LocalHost, m_target);
        }
    });
    m_listening = true;
    exec();
}

} // namespace TestSupport
