#include "zam_icmp_echo.h"

#include <cstring>
#include <netinet/ip_icmp.h>

uint16_t in_cksum(const uint16_t* words, int length)
{
    uint32_t sum = 0;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(words);
    int left = length;
    while (left > 1) {
        uint16_t w;
        std::memcpy(&w, bytes, 2);
        sum += w;
        bytes += 2;
        left -= 2;
    }
    if (left == 1) {
        uint16_t w = 0;
        std::memcpy(&w, bytes, 1);
        sum += w;
    }
    sum = (sum >> 16) + (sum & 0xffff);
    sum += sum >> 16;
    return static_cast<uint16_t>(~sum & 0xffff);
}

void buildEchoRequest(unsigned char* packet, int size, uint32_t destination, uint16_t identifier, uint16_t sequence,
                      uint32_t timeStamp)
{
    std::memset(packet, 0, static_cast<size_t>(8 + size));
    packet[0] = ICMP_ECHO;
    packet[1] = 0;
    std::memcpy(packet + 4, &identifier, 2);
    std::memcpy(packet + 6, &sequence, 2);
    std::memcpy(packet + 8, &timeStamp, 4);
    for (int off = 12; off + 4 <= 8 + size; off += 4)
        std::memcpy(packet + off, &destination, 4);
    const uint16_t sum = in_cksum(reinterpret_cast<const uint16_t*>(packet), 8 + size);
    std::memcpy(packet + 2, &sum, 2);
}

// Checks one received IPv4 datagram against the request; empty when it is our reply, else the
// log line that says why not.
QString checkEchoReply(const unsigned char* packet, size_t length, int size, uint32_t destination,
                       uint16_t identifier, uint16_t sequence, uint32_t sentTime)
{
    if (length < static_cast<size_t>(size) + 20)
        return QStringLiteral("packet size is too small");
    const size_t headerLength = static_cast<size_t>(packet[0] & 0x0f) * 4;
    if (headerLength < 20)
        return QStringLiteral("wrong header size: %1").arg(headerLength);
    if (length != headerLength + 8 + static_cast<size_t>(size))
        return QStringLiteral("packet size does not match: %1").arg(length);
    const unsigned char* icmp = packet + headerLength;
    if (icmp[0] != ICMP_ECHOREPLY || icmp[1] != 0)
        return QStringLiteral("not an echo reply: type %1, code %2").arg(icmp[0]).arg(icmp[1]);
    if (in_cksum(reinterpret_cast<const uint16_t*>(icmp), 8 + size) != 0)
        return QStringLiteral("wrong checksum");
    uint16_t id, seq;
    std::memcpy(&id, icmp + 4, 2);
    std::memcpy(&seq, icmp + 6, 2);
    if (id != identifier || seq != sequence)
        return QStringLiteral("wrong packet ID: expected %1:%2, received %3:%4")
            .arg(identifier)
            .arg(sequence)
            .arg(id)
            .arg(seq);
    uint32_t stamp;
    std::memcpy(&stamp, icmp + 8, 4);
    if (stamp != sentTime)
        return QStringLiteral("wrong time stamp: expected %1, received %2").arg(sentTime).arg(stamp);
    const int words = (size - 4) / 4;
    for (int w = 0; w + 1 < words; ++w) {
        uint32_t value;
        std::memcpy(&value, icmp + 12 + 4 * w, 4);
        if (value != destination)
            return QStringLiteral("packet data does not match");
    }
    return QString();
}

