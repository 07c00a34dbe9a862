// SPDX-License-Identifier: GPL-3.0-or-later
// JACK servers of a test's own, beside the one scripts/with-jack.sh starts for the whole run.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QProcess>
#include <QString>
#include <QThread>

#include <memory>

#include <signal.h>

#include <unistd.h>

namespace qob::test {

inline QString uniqueName(const char* what) {
    static int n = 0;
    return QStringLiteral("qob-%1-%2-%3").arg(what).arg(getpid()).arg(++n);
}

// Points this process's JACK clients at another server for a while.
class ServerEnv {
public:
    explicit ServerEnv(const QString& server) : m_old(qgetenv("JACK_DEFAULT_SERVER")) {
        qputenv("JACK_DEFAULT_SERVER", server.toLocal8Bit());
    }
    ~ServerEnv() { qputenv("JACK_DEFAULT_SERVER", m_old); }

private:
    QByteArray m_old;
};

// A JACK server of the test's own, which the test may kill.
class OwnServer {
public:
    // A synchronous server waits for a late client instead of dropping its cycle: on a loaded
    // machine without realtime scheduling that is the only way short periods get through a
    // whole transfer. Its frame clock stays exact either way.
    enum class Mode { Asynchronous, Synchronous };
    explicit OwnServer(int period = 128, Mode mode = Mode::Asynchronous)
        : m_name(uniqueName("server")), m_period(period), m_mode(mode) {
        start();
    }
    ~OwnServer() {
        // A stopped server (a test that failed before it resumed it) could not end itself and
        // would be killed, leaving its entry in JACK's table of servers, which holds only eight.
        resume();
        if (m_killed) { // a server that starts under the same name clears what was left
            start();
            m_killed = false;
        }
        // A server whose client vanished while it was stopped waits out the client's 5 s
        // timeout before it ends; killed earlier, it would leave its table entry behind.
        m_jackd.terminate();
        if (!m_jackd.waitForFinished(10000))
            m_jackd.kill();
        m_jackd.waitForFinished(5000);
        QDir shm(QStringLiteral("/dev/shm"));
        for (const QString& f : shm.entryList({QStringLiteral("jack_%1_*").arg(m_name),
                                               QStringLiteral("jack_sem.*_%1_*").arg(m_name)},
                                              QDir::Files | QDir::System))
            shm.remove(f);
    }
    const QString& name() const { return m_name; }
    bool ready() const { return m_ready; }
    bool synchronous() const { return m_mode == Mode::Synchronous; }
    void pause() { ::kill(static_cast<pid_t>(m_jackd.processId()), SIGSTOP); }
    void resume() {
        if (m_jackd.processId() > 0) // never 0: that would signal our whole process group
            ::kill(static_cast<pid_t>(m_jackd.processId()), SIGCONT);
    }
    void kill() {
        resume();
        m_jackd.kill();
        m_jackd.waitForFinished(5000);
        m_killed = true;
    }
    QProcessEnvironment env() const {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("JACK_DEFAULT_SERVER"), m_name);
        return e;
    }

private:
    void start() {
        m_jackd.setProcessEnvironment(env());
        // Nobody reads its complaints about missed cycles; a full pipe would stop the server.
        m_jackd.setStandardOutputFile(QProcess::nullDevice());
        m_jackd.setStandardErrorFile(QProcess::nullDevice());
        QStringList args{"-r", "-d", "dummy", "-r", "48000", "-p", QString::number(m_period)};
        if (m_mode == Mode::Synchronous)
            args.prepend(QStringLiteral("-S"));
        m_jackd.start(QStringLiteral("jackd"), args);
        m_ready = false;
        for (int i = 0; i < 100 && !m_ready; ++i) {
            QProcess lsp;
            lsp.setProcessEnvironment(env());
            lsp.start(QStringLiteral("jack_lsp"), {});
            m_ready = lsp.waitForFinished(5000) && lsp.exitCode() == 0;
            if (!m_ready)
                QThread::msleep(100);
        }
    }

    QString m_name;
    int m_period;
    Mode m_mode;
    QProcess m_jackd;
    bool m_ready = false;
    bool m_killed = false;
};

inline bool underPipeWire() {
    return !qEnvironmentVariableIsEmpty("QOB_PIPEWIRE");
}

// Where a transfer is measured: under PipeWire the session's own server with its own period,
// else a synchronous server of the test's own.
inline std::unique_ptr<OwnServer> transferServer(int period) {
    if (underPipeWire())
        return nullptr;
    return std::make_unique<OwnServer>(period, OwnServer::Mode::Synchronous);
}

inline QProcessEnvironment envOf(const OwnServer* server) {
    return server ? server->env() : QProcessEnvironment::systemEnvironment();
}

} // namespace qob::test
