#include "CAgentWorkerThread.h"

#include "AgentControlMessages.h"
#include "AgentFrameCutter.h"
#include "AgentMessageDecoder.h"
#include "CAgentWorkerThreadSlots.h"
#include "common/AgentLinkLog.h"
#include "common/CAgentConnection.h"
#include "core/LogFile.h"

#include <QDebug>
#include <QMutexLocker>
#include <QTimer>

CAgentWorkerThread::CAgentWorkerThread(QObject* parent) : QThread(parent)
{
    m_queue.notifier()->setNotify(true);
}

CAgentWorkerThread::~CAgentWorkerThread()
{
    // The last reference may go on another thread while this one is still finishing.
    if (QThread::currentThread() != this)
        wait();
}

void CAgentWorkerThread::setConnectionSettings(const SAgentConnectionSettings& settings)
{
    m_settings = std::make_unique<SAgentConnectionSettings>(settings);
}

void CAgentWorkerThread::setAcceptedConnection(const CAcceptedConnectionInfoPtr& info)
{
    m_accepted = info;
}

bool CAgentWorkerThread::enqueueTask(const TaskPtr& task)
{
    return m_queue.push(task);
}

void CAgentWorkerThread::postSendMessage(const CAgentMessagePtr& message)
{
    AWTTask<TaskData1<CAgentMessagePtr, SSendAgentMessageTask>>::post(m_queue, this, {message});
}

void CAgentWorkerThread::postDisconnect(const QString& reason)
{
    AWTTask<TaskData1<QString, StartDisconnectProcessTask>>::post(m_queue, this, {reason});
}

void CAgentWorkerThread::run()
{
    m_queue.setServing(true);
    m_slots = new CAgentWorkerThreadSlots(this);
    connect(m_queue.notifier(), &ProtectedQueueObject::newItem, m_slots, &CAgentWorkerThreadSlots::onNewItem,
            Qt::QueuedConnection);
    connect(m_queue.notifier(), &ProtectedQueueObject::stopped, m_slots, &CAgentWorkerThreadSlots::onStopped,
            Qt::QueuedConnection);

    const QString preError = disconnectReason();
    if (m_accepted)
        m_connection = createAcceptedAgentConnection(m_accepted, this, preError);
    else if (m_settings)
        m_connection = createAgentConnection(*m_settings, this, preError);
    m_accepted.reset();
    if (!m_connection)
        startDisconnect(QStringLiteral("no connection"));

    createTimers();
    // Tasks posted before the slots were connected have not been announced yet.
    for (int n = m_queue.size(); n > 0; --n)
        QMetaObject::invokeMethod(m_slots, "onNewItem", Qt::QueuedConnection);

    exec();

    destroyTimers();
    if (m_connection) {
        CAgentConnection* connection = m_connection;
        m_connection = nullptr;   // its closing report during deletion finds no connection
        delete connection;
    }
    delete m_slots;
    m_slots = nullptr;
    m_queue.stopAndDiscard();
    m_queue.setServing(false);
}

void CAgentWorkerThread::runNextTask()
{
    TaskPtr task;
    if (m_queue.take(task, 0) != ProtectedQueue<TaskPtr>::Taken)
        return;
    task->exec();
}

void CAgentWorkerThread::stopTaskQueue()
{
    m_queue.stopAndDiscard();
}

QString CAgentWorkerThread::peerAddressText() const
{
    QMutexLocker locker(&m_infoMutex);
    return m_peerAddress;
}

QString CAgentWorkerThread::disconnectReason() const
{
    QMutexLocker locker(&m_infoMutex);
    return m_disconnectReason;
}

void CAgentWorkerThread::logLine(const QString& text) const
{
    if (m_connection)
        m_connection->log(text);
    else
        agentLinkLog(agentLinkLogLine("connection", this, text));
}

void CAgentWorkerThread::setDisconnectReason(const QString& text, bool log)
{
    bool isNew = false;
    {
        QMutexLocker locker(&m_infoMutex);
        if (m_disconnectReason.isEmpty() && !text.isEmpty()) {
            m_disconnectReason = text;
            isNew = true;
        }
    }
    if (isNew && log)
        logLine(QStringLiteral("disconnecting: %1").arg(text));
}

int CAgentWorkerThread::connectionTransport() const
{
    if (m_connection)
        return m_connection->transport() != 0 ? 1 : 0;
    return m_settings && m_settings->transport != 0 ? 1 : 0;
}

bool CAgentWorkerThread::socketIsUp() const
{
    return m_connection && !m_connection->isUnconnected();
}

void CAgentWorkerThread::sendMessageNow(const CAgentMessagePtr& message)
{
    if (!message || !m_connection || !canSend())
        return;
    const QByteArray frame = message->toFrame();
    if (frame.isEmpty()) {
        qWarning().noquote() << QStringLiteral("cannot encode message of type %1").arg(message->type());
        return;
    }
    m_connection->send(frame.constData(), unsigned(frame.size()));
}

void CAgentWorkerThread::startDisconnect(const QString& text)
{
    // The socket's own state decides: the connected flag is already cleared on an error,
    // and the peer should still hear why while the socket can carry it.
    if (!socketIsUp()) {
        onLinkClosed();
        return;
    }
    if (disconnectReason().isEmpty()) {
        setDisconnectReason(text, true);
        sendMessageNow(CAgentMessagePtr(new CDisconnectReason(disconnectReason())));
    }
    m_connection->close();
    // A socket that was still connecting ends without a disconnected signal.
    if (m_connection && m_connection->isUnconnected()) {
        onLinkClosed();
        return;
    }
    // A close that never completes (a TLS socket still waiting for its handshake keeps what
    // it was given to write) must not keep the session for ever.
    if (m_slots && !m_closeWatchArmed) {
        m_closeWatchArmed = true;
        QTimer::singleShot(kCloseWaitMs, m_slots, [this] { onLinkClosed(); });
    }
}

void CAgentWorkerThread::markConnected()
{
    if (m_connection) {
        QMutexLocker locker(&m_infoMutex);
        m_peerAddress = m_connection->peerAddress().toString();
    }
    m_connected = true;
    writeLogLine(QStringLiteral("Connected peer IP is %1").arg(peerAddressText()));
}

void CAgentWorkerThread::onLinkConnected()
{
    markConnected();
}

void CAgentWorkerThread::onLinkClosed()
{
    m_connected = false;
    stopTaskQueue();
}

void CAgentWorkerThread::onLinkError(const QString& error)
{
    m_connected = false;
    startDisconnect(error);
}

void CAgentWorkerThread::onLinkLog(const QString& text)
{
    qWarning().noquote() << QStringLiteral("agent link: %1").arg(text);
}

void CAgentWorkerThread::onLinkData(const char* data, unsigned int count)
{
    if (m_readFailed || count == 0)
        return;
    m_buffer.append(data, int(count));
    while (readFrame()) {
    }
    // One move per arrival, not one per frame.
    if (m_readPos >= m_buffer.size()) {
        m_buffer.clear();
        m_readPos = 0;
    } else if (m_readPos > 0) {
        m_buffer.remove(0, m_readPos);
        m_readPos = 0;
    }
}

void CAgentWorkerThread::stopReading(const QString& error)
{
    m_readFailed = true;
    m_buffer.clear();
    m_readPos = 0;
    onLinkError(error);
}

bool CAgentWorkerThread::readFrame()
{
    if (m_readFailed)
        return false;
    const char* front = m_buffer.constData() + m_readPos;
    const qint64 available = qint64(m_buffer.size()) - m_readPos;
    const SAgentFrameCut cut = cutAgentFrame(front, available);
    switch (cut.kind) {
    case SAgentFrameCut::NeedMore:
        return false;
    case SAgentFrameCut::BadHeader:
        stopReading(QStringLiteral("bad message header"));
        return false;
    case SAgentFrameCut::BadLength:
        stopReading(QStringLiteral("bad message data"));
        return false;
    case SAgentFrameCut::Frame:
        break;
    }
    QString error;
    const CAgentMessagePtr message = decodeAgentMessage(front, int(cut.frameSize), error, m_wideValues);
    m_readPos += int(cut.frameSize);
    if (message)
        processMessage(message);
    else
        qWarning().noquote() << QStringLiteral("can not parse message: %1").arg(error);
    return true;
}
