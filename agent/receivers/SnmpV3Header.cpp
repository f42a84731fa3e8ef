#include "SnmpV3Header.h"

namespace {

constexpr unsigned char kSequence = 0x30;
constexpr unsigned char kInteger = 0x02;
constexpr unsigned char kOctetString = 0x04;
constexpr long kUsmSecurityModel = 3;

// A window on bytes; every read stays inside it.
struct Cursor
{
    const unsigned char* p;
    size_t left;

    // The next element's tag must be tag; its contents become *body and the cursor moves past it.
    bool element(unsigned char tag, Cursor* body)
    {
        if (left < 2 || p[0] != tag)
            return false;
        size_t length = p[1];
        size_t header = 2;
        if (length & 0x80) {
            const size_t octets = length & 0x7f;
            // Indefinite form (0) is not BER for SNMP; more than four octets is no datagram.
            if (octets == 0 || octets > 4 || left < 2 + octets)
                return false;
            length = 0;
            for (size_t i = 0; i < octets; ++i)
                length = (length << 8) | p[2 + i];
            header += octets;
        }
        if (length > left - header)
            return false;
        body->p = p + header;
        body->left = length;
        p += header + length;
        left -= header + length;
        return true;
    }

    bool integer(long* value)
    {
        Cursor body{nullptr, 0};
        if (!element(kInteger, &body) || body.left == 0 || body.left > 5)
            return false;
        long v = (body.p[0] & 0x80) ? -1 : 0;
        for (size_t i = 0; i < body.left; ++i)
            v = static_cast<long>((static_cast<unsigned long>(v) << 8) | body.p[i]);
        *value = v;
        return true;
    }

    bool octets(QByteArray* out, int maxLength)
    {
        Cursor body{nullptr, 0};
        if (!element(kOctetString, &body) || body.left > static_cast<size_t>(maxLength))
            return false;
        *out = QByteArray(reinterpret_cast<const char*>(body.p), static_cast<int>(body.left));
        return true;
    }
};

} // namespace

bool SnmpV3Header::read(const unsigned char* data, size_t size, SnmpV3Header* out)
{
    if (!data || !out)
        return false;
    Cursor datagram{data, size};
    Cursor message{nullptr, 0}, global{nullptr, 0}, securityOctets{nullptr, 0}, security{nullptr, 0};
    long version = 0, msgId = 0, maxSize = 0, model = 0, boots = 0, time = 0;
    QByteArray flags;
    if (!datagram.element(kSequence, &message) || !message.integer(&version) || version != 3)
        return false;
    if (!message.element(kSequence, &global) || !global.integer(&msgId) || !global.integer(&maxSize)
        || !global.octets(&flags, 1) || flags.size() != 1 || !global.integer(&model) || model != kUsmSecurityModel)
        return false;
    if (!message.element(kOctetString, &securityOctets) || !securityOctets.element(kSequence, &security))
        return false;
    SnmpV3Header header;
    if (!security.octets(&header.engineId, kMaxEngineId) || !security.integer(&boots) || !security.integer(&time)
        || !security.octets(&header.userName, kMaxUserName))
        return false;
    *out = header;
    return true;
}

bool SnmpV3Header::isVersion3(const unsigned char* data, size_t size)
{
    // Lenient about the outer length: a cut v3 datagram still goes Net-SNMP's v3 road.
    if (!data || size < 2 || data[0] != kSequence)
        return false;
    size_t header = 2;
    if (data[1] & 0x80)
        header += data[1] & 0x7f;
    if (header >= size)
        return false;
    Cursor rest{data + header, size - header};
    long version = 0;
    return rest.integer(&version) && version == 3;
}
