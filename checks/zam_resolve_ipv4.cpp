#include "zam_resolve_ipv4.h"

#include "zam_monitor_helpers.h"

#include <QUrl>

#include <arpa/inet.h>
#include <cstring>
#include <netdb.h>
#include <sys/socket.h>

QHostAddress lookupIPv4(const char* host)
{
    if (!host || !*host)
        return {};
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &list) != 0 || !list)
        return {};
    QHostAddress out;
    for (addrinfo* ai = list; ai; ai = ai->ai_next) {
        if (ai->ai_family == AF_INET && ai->ai_addr) {
            const auto* sa = reinterpret_cast<const sockaddr_in*>(ai->ai_addr);
            out = QHostAddress(ntohl(sa->sin_addr.s_addr));
            break;
        }
    }
    freeaddrinfo(list);
    return out;
}

bool resolveMonitorIPv4(stZamMonitor* mon, QHostAddress& address)
{
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("resolve address"));
    address.clear();
    const size_t nameLength = boundedLength(mon->hostName, ZAM_HOST_NAME_SIZE);
    const size_t addressLength = boundedLength(mon->hostAddress, ZAM_HOST_ADDRESS_SIZE);
    const QByteArray name(mon->hostName, static_cast<int>(nameLength));
    const QByteArray text(mon->hostAddress, static_cast<int>(addressLength));
    if (name.isEmpty() && text.isEmpty()) {
        setMonFailReason(mon, "hostname and IP address are not set");
        return false;
    }
    if (!name.isEmpty() && (mon->useHostName || text.isEmpty())) {
        const QByteArray ace = QUrl::toAce(QString::fromUtf8(name));
        const QHostAddress found = lookupIPv4(ace.isEmpty() ? name.constData() : ace.constData());
        if (found.isNull() || found.protocol() != QAbstractSocket::IPv4Protocol) {
            setMonFailReason(mon, "cannot resolve host IP address");
            return false;
        }
        address = found;
        safeCopy(mon->hostAddress, found.toString().toLatin1().constData(), ZAM_HOST_ADDRESS_SIZE - 1);
    } else {
        QHostAddress given;
        if (!given.setAddress(QString::fromLatin1(text)) || given.protocol() != QAbstractSocket::IPv4Protocol) {
            setMonFailReason(mon, "invalid host IP address");
            return false;
        }
        address = given;
    }
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("resolve address ok: '%1'").arg(address.toString()));
    return true;
}
