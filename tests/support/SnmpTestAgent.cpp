#include "SnmpTestAgent.h"

#include <chrono>
#include <sstream>
#include <thread>

namespace {

// One BER element read from `data` at `pos`: tag, and the value's offset and length.
struct Tlv {
    unsigned char tag = 0;
    size_t start = 0;
    size_t length = 0;
    size_t end() const { return start + length; }
};

bool readTlv(const std::string& data, size_t pos, size_t limit, Tlv& out)
{
    if (pos + 2 > limit)
        return false;
    out.tag = static_cast<unsigned char>(data[pos]);
    size_t length = static_cast<unsigned char>(data[pos + 1]);
    pos += 2;
    if (length & 0x80) {
        const size_t bytes = length & 0x7F;
        if (bytes == 0 || bytes > 4 || pos + bytes > limit)
            return false;
        length = 0;
        for (size_t i = 0; i < bytes; ++i)
            length = (length << 8) | static_cast<unsigned char>(data[pos + i]);
        pos += bytes;
    }
    if (pos + length > limit)
        return false;
    out.start = pos;
    out.length = length;
    return true;
}

std::string encode(unsigned char tag, const std::string& value)
{
    std::string out(1, static_cast<char>(tag));
    const size_t n = value.size();
    if (n < 0x80) {
        out += static_cast<char>(n);
    } else if (n < 0x100) {
        out += static_cast<char>(0x81);
        out += static_cast<char>(n);
    } else {
        out += static_cast<char>(0x82);
        out += static_cast<char>(n >> 8);
        out += static_cast<char>(n & 0xFF);
    }
    return out + value;
}

std::string encodeInteger(int64_t value)
{
    std::string bytes;
    for (int i = 7; i >= 0; --i)
        bytes += static_cast<char>((static_cast<uint64_t>(value) >> (i * 8)) & 0xFF);
    // Minimal two's complement: drop leading bytes that only repeat the sign.
    while (bytes.size() > 1
           && ((bytes[0] == 0 && !(bytes[1] & 0x80)) || (bytes[0] == '\xFF' && (bytes[1] & 0x80))))
        bytes.erase(0, 1);
    return encode(0x02, bytes);
}

std::string encodeOid(const SnmpTestAgent::Oid& oid)
{
    std::string bytes;
    if (oid.size() >= 2)
        bytes += static_cast<char>(oid[0] * 40 + oid[1]);
    for (size_t i = 2; i < oid.size(); ++i) {
        std::string part(1, static_cast<char>(oid[i] & 0x7F));
        for (uint32_t v = oid[i] >> 7; v; v >>= 7)
            part.insert(part.begin(), static_cast<char>(0x80 | (v & 0x7F)));
        bytes += part;
    }
    return encode(0x06, bytes);
}

SnmpTestAgent::Oid decodeOid(const std::string& data, const Tlv& t)
{
    SnmpTestAgent::Oid oid;
    uint32_t value = 0;
    for (size_t i = t.start; i < t.end(); ++i) {
        const auto byte = static_cast<unsigned char>(data[i]);
        value = (value << 7) | (byte & 0x7F);
        if (byte & 0x80)
            continue;
        if (oid.empty()) {
            oid.push_back(value < 80 ? value / 40 : 2);
            oid.push_back(value < 80 ? value % 40 : value - 80);
        } else {
            oid.push_back(value);
        }
        value = 0;
    }
    return oid;
}

}  // namespace

SnmpTestAgent::SnmpTestAgent(Script script)
    : m_script(std::move(script)),
      m_server([this](const std::string& datagram, int) { return respond(datagram); })
{
}

SnmpTestAgent::Oid SnmpTestAgent::oid(const std::string& text)
{
    Oid out;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, '.')) {
        if (!part.empty())
            out.push_back(static_cast<uint32_t>(std::stoul(part)));
    }
    return out;
}

SnmpTestAgent::Script SnmpTestAgent::table(std::map<Oid, int64_t> values)
{
    return [values = std::move(values)](unsigned char pduType, const Oid& asked) {
        Answer a;
        a.oid = asked;
        if (pduType == 0xA0) {
            const auto it = values.find(asked);
            if (it == values.end())
                a.type = 0x80;
            else
                a.integer = it->second;
            return a;
        }
        const auto next = values.upper_bound(asked);
        if (next == values.end()) {
            a.type = 0x82;
        } else {
            a.oid = next->first;
            a.integer = next->second;
        }
        return a;
    };
}

std::string SnmpTestAgent::respond(const std::string& request)
{
    // Message: SEQUENCE { version, community, PDU { request-id, error-status, error-index,
    // SEQUENCE { SEQUENCE { name, value } ... } } }
    Tlv message, version, community, pdu, requestId, status, index, bindings, binding, name;
    if (!readTlv(request, 0, request.size(), message) || message.tag != 0x30
        || !readTlv(request, message.start, message.end(), version)
        || !readTlv(request, version.end(), message.end(), community)
        || !readTlv(request, community.end(), message.end(), pdu) || (pdu.tag != 0xA0 && pdu.tag != 0xA1)
        || !readTlv(request, pdu.start, pdu.end(), requestId) || !readTlv(request, requestId.end(), pdu.end(), status)
        || !readTlv(request, status.end(), pdu.end(), index) || !readTlv(request, index.end(), pdu.end(), bindings)
        || !readTlv(request, bindings.start, bindings.end(), binding)
        || !readTlv(request, binding.start, binding.end(), name) || name.tag != 0x06)
        return std::string();
    const std::string id = request.substr(requestId.start, requestId.length);
    if (!m_seen.insert(id).second)
        return std::string();  // a retransmission: the first copy is (being) answered
    const Answer answer = m_script(pdu.tag, decodeOid(request, name));
    if (const int delay = delayMs.load())
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    const std::string value = answer.type == 0x02 ? encodeInteger(answer.integer) : encode(answer.type, std::string());
    const std::string varBinds = encode(0x30, encode(0x30, encodeOid(answer.oid) + value));
    // The request id as it came (its element opens the PDU), then no error.
    const std::string body = request.substr(pdu.start, requestId.end() - pdu.start) + encodeInteger(0)
        + encodeInteger(0) + varBinds;
    const std::string head = request.substr(message.start, community.end() - message.start);
    ++m_answered;
    return encode(0x30, head + encode(0xA2, body));
}
