#pragma once

// Stand-ins for remote servers on free ports of 127.0.0.1, and a link between a tool and one of them
// that can be made to stall or drop. Each server is a child of the test, ended by its process id.
#include <QProcess>

#include <functional>
#include <QString>
#include <QThread>

#include <atomic>

namespace TestSupport {

// A free TCP port on 127.0.0.1 (free when asked; the server started on it next takes it).
quint16 freeLocalPort();

// A server program listening on 127.0.0.1 for as long as the object lives.
class LocalServer {
public:
    ~LocalServer();
    quint16 port() const { return m_port; }
    // The server answers connections (or has exited, then false).
    bool waitUntilListening() const;

protected:
    // Starts the server on a free port, on another when it cannot listen on the one chosen (something
    // else took it between the choice and the server's start).
    void start(const QString &program, const std::function<QStringList(quint16)> &arguments);

private:
    QProcess m_process;
    quint16 m_port = 0;
};

// svnserve serving the repositories under the root folder.
class LocalSvnServe : public LocalServer {
public:
    explicit LocalSvnServe(const QString &root);
};

// git daemon serving every repository under the base folder.
class LocalGitDaemon : public LocalServer {
public:
    explicit LocalGitDaemon(const QString &base);
};

// Forwards each connection to the target port, or accepts it and sends nothing (stall), or closes it
// (drop): at once, or after passing on the bytes `setStallAfter` allows. Runs on a thread of its own, so fixtures may
// run tools through it synchronously. A connection keeps the mode it was accepted in.
class LinkProxy : public QThread {
public:
    enum class Mode { forward, stall, drop };

    explicit LinkProxy(quint16 target);
    ~LinkProxy() override;

    quint16 port() const { return m_port; }
    void setMode(Mode mode) { m_mode = mode; }
    // From now on a forwarded connection passes on only this many of the server's bytes, then stalls
    // (a transfer that hangs midway), or closes it in drop mode; negative passes everything.
    void setStallAfter(qint64 bytes) { m_stallAfter = bytes; }
    // Connections accepted so far.
    int accepted() const { return m_accepted; }

protected:
    void run() override;

private:
    quint16 m_target;
    quint16 m_port = 0;
    std::atomic<Mode> m_mode{Mode::forward};
    std::atomic<int> m_accepted{0};
    std::atomic<qint64> m_stallAfter{-1};
    std::atomic<bool> m_listening{false};
};

} // namespace TestSupport
