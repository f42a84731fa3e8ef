#pragma once
// Builds DNS replies byte by byte for tests and fuzz seeds: the header and question of a
// received query (or of a name and type), then records in the answer section. Records' owner
// names point back at the question. Counts follow the records unless set by hand, so that
// broken replies can be made as well. Value type, header-only.

#include <arpa/inet.h>
#include <cstdint>
#include <string>

class DnsReplyBuilder
{
public:
    // A reply to this query: its id and question section.
    explicit DnsReplyBuilder(const std::string& query)
    {
        m_bytes = query.substr(0, 12);
        m_bytes.resize(12, '\0');
        size_t end = 12;
        while (end < query.size() && query[end] != 0)
            end += static_cast<unsigned char>(query[end]) + 1;
        m_bytes += query.substr(12, end + 5 - 12);
        put16(2, 0x8180);
        put16(4, 1);
        put16(6, 0);
        put16(8, 0);
        put16(10, 0);
    }
    // A reply with id 0x1234 to a question for name and type.
    DnsReplyBuilder(const std::string& name, int type)
    {
        m_bytes.assign(12, '\0');
        put16(0, 0x1234);
        put16(2, 0x8180);
        put16(4, 1);
        m_bytes += encodeName(name);
        append16(static_cast<unsigned>(type));
        append16(1);
    }

    static std::string encodeName(const std::string& name)
    {
        std::string out;
        size_t start = 0;
        while (start < name.size()) {
            size_t dot = name.find('.', start);
            if (dot == std::string::npos)
                dot = name.size();
            out += static_cast<char>(dot - start);
            out += name.substr(start, dot - start);
            start = dot + 1;
        }
        out += '\0';
        return out;
    }
    // The question name, compressed.
    static std::string questionName() { return std::string("\xc0\x0c", 2); }

    DnsReplyBuilder& record(int type, const std::string& data, const std::string& owner = questionName())
    {
        m_bytes += owner;
        append16(static_cast<unsigned>(type));
        append16(1);
        append16(0);
        append16(60);
        append16(static_cast<unsigned>(data.size()));
        m_bytes += data;
        put16(6, get16(6) + 1);
        return *this;
    }
    DnsReplyBuilder& a(const char* address)
    {
        in_addr in{};
        inet_pton(AF_INET, address, &in);
        return record(1, std::string(reinterpret_cast<const char*>(&in), 4));
    }
    DnsReplyBuilder& aaaa(const char* address)
    {
        in6_addr in{};
        inet_pton(AF_INET6, address, &in);
        return record(28, std::string(reinterpret_cast<const char*>(&in), 16));
    }
    DnsReplyBuilder& mx(int preference, const std::string& exchange)
    {
        std::string data;
        data += static_cast<char>(preference >> 8);
        data += static_cast<char>(preference & 0xff);
        return record(15, data + encodeName(exchange));
    }
    DnsReplyBuilder& name(int type, const std::string& target) { return record(type, encodeName(target)); }
    DnsReplyBuilder& soa(uint32_t serial)
    {
        std::string data = encodeName("ns1.test") + encodeName("hostmaster.test");
        for (uint32_t v : {serial, 3600u, 600u, 86400u, 300u})
            for (int shift = 24; shift >= 0; shift -= 8)
                data += static_cast<char>((v >> shift) & 0xff);
        return record(6, data);
    }
    DnsReplyBuilder& raw(const std::string& bytes)
    {
        m_bytes += bytes;
        return *this;
    }
    DnsReplyBuilder& answerCount(unsigned count) { return put16(6, count); }
    DnsReplyBuilder& rcode(unsigned code) { return put16(2, (get16(2) & 0xfff0) | (code & 0xf)); }

    const std::string& bytes() const { return m_bytes; }
    const unsigned char* data() const { return reinterpret_cast<const unsigned char*>(m_bytes.data()); }
    size_t size() const { return m_bytes.size(); }

private:
    unsigned get16(size_t at) const
    {
        return static_cast<unsigned>(static_cast<unsigned char>(m_bytes[at])) << 8 | static_cast<unsigned char>(m_bytes[at + 1]);
    }
    DnsReplyBuilder& put16(size_t at, unsigned value)
    {
        m_bytes[at] = static_cast<char>((value >> 8) & 0xff);
        m_bytes[at + 1] = static_cast<char>(value & 0xff);
        return *this;
    }
    void append16(unsigned value)
    {
        m_bytes += static_cast<char>((value >> 8) & 0xff);
        m_bytes += static_cast<char>(value & 0xff);
    }

    std::string m_bytes;
};
