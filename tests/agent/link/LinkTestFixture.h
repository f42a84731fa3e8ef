#pragma once
// Runs a real agent manager (and its sessions) against the test peer on 127.0.0.1, with the
// test engine behind the link. Time-outs are shortened through NETAGENTD_TEST_TIME_SCALE,
// which the including test sets before anything reads it.
#include "common/ConnectionId.h"
#include "link/CAgentAgentManager.h"
#include "support/AgentTestPeer.h"
#include "support/CapturedMessages.h"
#include "support/EventLoopWait.h"
#include "support/TestCertificates.h"
#include "support/TestLinkEngine.h"

#include <QMutex>
#include <QMutexLocker>
#include <QStringList>
#include <gtest/gtest.h>
#include <memory>

struct LinkMode
{
    const char* name;
    bool passive;
    bool tls;
};

inline std::ostream& operator<<(std::ostream& os, const LinkMode& m)
{
    return os << m.name;
}

class LinkFixture
{
public:
    static TestCertificates& certs()
    {
        static TestCertificates c;
        return c;
    }

    explicit LinkFixture(const LinkMode& mode) : m_mode(mode)
    {
        engine = std::make_shared<TestLinkEngine>();
    }
    ~LinkFixture() { stop(); }

    peer::TlsIdentity serviceIdentity() const
    {
        return m_mode.tls ? peer::loadTlsIdentity(certs().cert("service"), certs().key("service")) : peer::TlsIdentity();
    }

    QString expectedConnectionId()
    {
        QString id;
        connectionIdFromCertificate(certs().cert("agent"), id);
        return id;
    }

    void start()
    {
        ASSERT_TRUE(certs().ok()) << qPrintable(certs().error());
        SAgentConnectionSettings s;
        s.readFromSettings = true;
        s.transport = m_mode.tls ? 1 : 0;
        s.host = QStringLiteral("127.0.0.1");
        s.privateKeyPath = certs().key("agent");
        s.certificatePath = certs().cert("agent");
        s.serviceCertificatePath = certs().cert("service");
        if (handshakeTimeoutMs > 0)
            s.handshakeTimeoutMs = handshakeTimeoutMs;
        SAgentLinkConfig config;
        config.passive = m_mode.passive;
        config.connectionId = expectedConnectionId();
        if (m_mode.passive) {
            s.port = 0;
            config.server = s;
        } else {
            listener = std::make_unique<peer::Listener>(serviceIdentity());
            s.port = listener->start();
            ASSERT_NE(s.port, 0);
            config.active = s;
        }
        manager = std::make_unique<CAgentAgentManager>(nullptr, QStringLiteral("agent manager"), 16);
        manager->setConfiguration(config);
        manager->setEngine(engine);
        manager->start();
        if (m_mode.passive) {
            ASSERT_TRUE(waitUntil([&] { return manager->serverPort() != 0; }));
        }
    }

    // The next session: passive connects to the agent; active waits for the agent.
    peer::Session* nextSession(int timeoutMs = 10000)
    {
        if (m_mode.passive) {
            peer::Session* s = peer::connectTo(manager->serverPort(), serviceIdentity(), timeoutMs);
            if (s)
                m_own.emplace_back(s);
            return s;
        }
        const int n = listener->sessions.size() + 1;
        if (!listener->waitForSession(n, timeoutMs))
            return nullptr;
        return listener->sessions.at(n - 1);
    }

    // The next session after its four identification messages (returned in arrival order).
    peer::Session* identifiedSession(QList<peer::Message>* identification = nullptr)
    {
        peer::Session* s = nextSession();
        if (!s)
            return nullptr;
        if (!waitUntil([&] { return s->types().size() >= 4; }))
            return nullptr;
        QList<peer::Message> id;
        for (int i = 0; i < 4; ++i)
            id << s->messages.takeFirst();
        if (identification)
            *identification = id;
        return s;
    }

    void stop()
    {
        if (manager) {
            manager->stopAndWait();
            manager.reset();
        }
    }

    std::shared_ptr<TestLinkEngine> engine;
    std::unique_ptr<CAgentAgentManager> manager;
    int handshakeTimeoutMs = 0;   // 0: the settings' default
    std::unique_ptr<peer::Listener> listener;

private:
    LinkMode m_mode;
    std::vector<std::unique_ptr<peer::Session>> m_own;
};
