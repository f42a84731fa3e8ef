#include "CAgentUpgrade.h"

#include "AgentControlMessages.h"
#include "CUpgradeTimer.h"
#include "UpgradePackage.h"
#include "common/TestTimeScale.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QMetaObject>

CAgentUpgrade::CAgentUpgrade(MessageSink timeoutSink, QObject* parent)
    : QObject(parent), m_timeoutSink(std::move(timeoutSink)), m_timer(new CUpgradeTimer(this))
{
}

CAgentUpgrade::~CAgentUpgrade() = default;

void CAgentUpgrade::setTempDir(const QString& folder)
{
    m_tempDir = folder;
}

CAgentMessagePtr CAgentUpgrade::handleUpgrade(const QByteArray& package)
{
    int expected = Idle;
    if (!m_state.compare_exchange_strong(expected, Writing)) {
        qWarning().noquote() << QStringLiteral("upgrade was already started");
        return CAgentMessagePtr();
    }
    const QString tempDir = m_tempDir.isNull() ? QDir::tempPath() : m_tempDir;
    const SUpgradeStart r =
        writeAndStartUpgradePackage(package, tempDir, QDateTime::currentDateTimeUtc().toSecsSinceEpoch());
    if (!r.started) {
        qWarning().noquote() << QStringLiteral("Upgrade failed: %1").arg(r.error);
        m_state.store(Idle);
        return CAgentMessagePtr(new CAgentStatusMessage(2, r.error.toUtf8()));
    }
    m_state.store(Upgrading);
    QMetaObject::invokeMethod(m_timer, "start", Qt::QueuedConnection,
                              Q_ARG(int, zam::scaledMs(kUpgradeTimeoutMs)));
    return CAgentMessagePtr(new CAgentStatusMessage(1, QByteArray()));
}

void CAgentUpgrade::onUpgradeTimerTimeout()
{
    qWarning().noquote() << QStringLiteral("Upgrade timeout");
    m_timer->stop();
    m_state.store(Idle);
    if (m_timeoutSink)
        m_timeoutSink(CAgentMessagePtr(new CAgentStatusMessage(2, QByteArrayLiteral("timeout"))));
}

void CAgentUpgrade::stopTimer()
{
    m_timer->stop();
}
