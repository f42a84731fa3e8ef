#pragma once
#include "CAcceptedConnectionInfo.h"

#include <QSslCertificate>
#include <QSslKey>

// Carries its own copies of the server's certificate and key (safe to use on another thread).
class CSslAcceptedConnectionInfo : public CAcceptedConnectionInfo
{
public:
    CSslAcceptedConnectionInfo(const SAgentConnectionSettings& settings, int descriptor,
                               const QSslCertificate& certificate, const QSslKey& key,
                               CPendingConnectionSlotPtr pendingSlot = {});
    CAgentConnection* createConnection() const override;
    QObject* createSocket() override;

private:
    QSslCertificate m_certificate;
    QSslKey m_key;
};
