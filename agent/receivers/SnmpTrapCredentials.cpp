#include "SnmpTrapCredentials.h"

#include <QMutexLocker>

namespace {

bool sameCredential(const SSnmpTrapCredential& a, const SSnmpTrapCredential& b)
{
    return a.userName == b.userName && a.authProtocol == b.authProtocol && a.authPassphrase == b.authPassphrase
        && a.privProtocol == b.privProtocol && a.privPassphrase == b.privPassphrase;
}

} // namespace

QByteArray SnmpTrapCredentials::nameBytes(const QString& text)
{
    QByteArray bytes = text.toLatin1();
    const int zero = bytes.indexOf('\0');
    if (zero >= 0)
        bytes.truncate(zero);
    return bytes;
}

bool SnmpTrapCredentials::update(const SSnmpTrapCredential& credential)
{
    QMutexLocker locker(&m_mutex);
    if (!m_open)
        return false;
    Entry& entry = m_byName[nameBytes(credential.userName)];
    if (entry.generation == 0 || !sameCredential(entry.credential, credential)) {
        entry.credential = credential;
        entry.generation = m_nextGeneration++;
    }
    return true;
}

bool SnmpTrapCredentials::find(const QByteArray& userName, SSnmpTrapCredential* credential, quint64* generation) const
{
    QMutexLocker locker(&m_mutex);
    auto it = m_byName.constFind(userName);
    if (it == m_byName.constEnd())
        return false;
    *credential = it->credential;
    *generation = it->generation;
    return true;
}

void SnmpTrapCredentials::open()
{
    QMutexLocker locker(&m_mutex);
    m_open = true;
}

void SnmpTrapCredentials::close()
{
    QMutexLocker locker(&m_mutex);
    m_open = false;
    m_byName.clear();
}
