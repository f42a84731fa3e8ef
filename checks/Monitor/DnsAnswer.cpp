#include "DnsAnswer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>

namespace {

constexpr size_t kHeaderSize = 12;
constexpr size_t kFixedRecordSize = 10;  // type, class, TTL, data length
constexpr size_t kMaxWireName = 255;

unsigned read16(const unsigned char* p) { return static_cast<unsigned>(p[0]) << 8 | p[1]; }

unsigned long read32(const unsigned char* p)
{
    return static_cast<unsigned long>(p[0]) << 24 | static_cast<unsigned long>(p[1]) << 16
           | static_cast<unsigned long>(p[2]) << 8 | p[3];
}

void insertSorted(std::vector<std::string>& values, std::string value)
{
    const auto at = std::lower_bound(values.begin(), values.end(), value);
    if (at == values.end() || *at != value)
        values.insert(at, std::move(value));
}

// Reads one resource record at pos; false when it is malformed. Collects its value unless
// parseOnly.
bool readRecord(const unsigned char* reply, size_t length, size_t& pos, int wanted, int secondWanted, bool parseOnly,
                DnsAnswer& out)
{
    std::string owner;
    size_t at = 0;
    if (!readDnsName(reply, length, pos, &owner, &at))
        return false;
    if (length - at < kFixedRecordSize)
        return false;
    const int type = static_cast<int>(read16(reply + at));
    const size_t dataLength = read16(reply + at + 8);
    const size_t data = at + kFixedRecordSize;
    if (length - data < dataLength)
        return false;
    const size_t end = data + dataLength;

    std::string value;
    bool hasValue = false;
    switch (type) {
    case kDnsTypeA:
    case kDnsTypeAAAA: {
        const bool v4 = type == kDnsTypeA;
        if (dataLength != (v4 ? 4u : 16u))
            return false;
        char text[INET6_ADDRSTRLEN] = {};
        if (!inet_ntop(v4 ? AF_INET : AF_INET6, reply + data, text, sizeof text))
            return false;
        value = text;
        hasValue = true;
        break;
    }
    case kDnsTypeNS: case 3: case 4: case 5: case 7: case 8: case 9: case 12: {
        size_t after = 0;
        if (!readDnsName(reply, length, data, &value, &after) || after > end)
            return false;
        hasValue = true;
        break;
    }
    case kDnsTypeMX: {
        size_t after = 0;
        if (dataLength <= 1 || !readDnsName(reply, length, data + 2, &value, &after) || after > end)
            return false;
        hasValue = true;
        break;
    }
    case kDnsTypeSOA: {
        if (wanted != kDnsTypeSOA)
            break;
        std::string primary, mailbox;
        size_t after = 0;
        if (!readDnsName(reply, length, data, &primary, &after) || after > end
            || !readDnsName(reply, length, after, &mailbox, &after) || after > end || end - after < 20)
            return false;
        char serial[16];
        std::snprintf(serial, sizeof serial, "%lu", read32(reply + after));
        value = serial;
        hasValue = true;
        break;
    }
    case 11: case 13: case 14: case 16: case 33: case 35:
        break;
    default:
        out.notes.emplace_back("unknown RR: cannot parse");
        break;
    }
    if (hasValue && !parseOnly && (type == wanted || type == secondWanted))
        insertSorted(out.values, std::move(value));
    pos = end;
    return true;
}

} // namespace

bool readDnsName(const unsigned char* reply, size_t length, size_t pos, std::string* name, size_t* next)
{
    name->clear();
    size_t wire = 1;         // the final zero
    bool jumped = false;
    size_t limit = pos;      // a pointer must point before the label that holds it
    for (;;) {
        if (pos >= length)
            return false;
        const unsigned label = reply[pos];
        if ((label & 0xc0) == 0xc0) {
            if (length - pos < 2)
                return false;
            const size_t target = (label & 0x3f) << 8 | reply[pos + 1];
            if (!jumped)
                *next = pos + 2;
            jumped = true;
            if (target >= limit)
                return false;
            limit = target;
            pos = target;
            continue;
        }
        if (label & 0xc0)
            return false;  // extended label types are not used in answers
        if (label == 0) {
            if (!jumped)
                *next = pos + 1;
            return true;
        }
        wire += label + 1;
        if (wire > kMaxWireName || length - pos - 1 < label)
            return false;
        if (!name->empty())
            name->push_back('.');
        for (unsigned i = 1; i <= label; ++i) {
            const unsigned char c = reply[pos + i];
            if (c == '.' || c == '\\') {
                name->push_back('\\');
                name->push_back(static_cast<char>(c));
            } else if (c < 0x20 || c > 0x7e) {
                char escaped[5];
                std::snprintf(escaped, sizeof escaped, "\\%03u", c);
                name->append(escaped);
            } else {
                name->push_back(static_cast<char>(c));
            }
        }
        pos += label + 1;
        if (!jumped)
            limit = pos;
    }
}

DnsAnswer parseDnsAnswer(const unsigned char* reply, size_t length, int wantedType, int secondWantedType)
{
    DnsAnswer out;
    if (reply == nullptr || length < kHeaderSize) {
        out.notes.emplace_back("reply is too short");
        return out;
    }
    const unsigned questions = read16(reply + 4);
    const unsigned counts[3] = {read16(reply + 6), read16(reply + 8), read16(reply + 10)};
    size_t pos = kHeaderSize;
    for (unsigned i = 0; i < questions; ++i) {
        std::string name;
        size_t after = 0;
        if (!readDnsName(reply, length, pos, &name, &after) || length - after < 4) {
            out.notes.emplace_back("malformed question");
            return out;
        }
        pos = after + 4;
    }
    for (int section = 0; section < 3; ++section) {
        for (unsigned i = 0; i < counts[section]; ++i) {
            if (!readRecord(reply, length, pos, wantedType, secondWantedType, section != 0, out)) {
                out.notes.emplace_back("malformed record");
                return out;
            }
        }
    }
    return out;
}
