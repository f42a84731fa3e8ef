#pragma once
#include <QByteArray>
#include <QString>

#include <cstddef>
#include <vector>

// The texts a trap receiver makes again and again from a stream of like traps: OIDs (the
// trap OID, the binding names), communities and user names. Each is kept as one shared
// string, so a repeated trap costs a look-up instead of formatting and allocating its texts
// anew; the records share the strings.
// Bounded: a fixed number of slots chosen by a hash of the bytes; a new text takes its slot
// from the old one, and bytes longer than kMaxKeyBytes are never kept.
// Threads: one thread (the receiver's) looks up; the strings it hands out are shared
// read-only with other threads as any QString copy is.
class SnmpTrapTextCache
{
public:
    enum Kind { Oid, Utf8, Latin1 };

    static constexpr int kSlots = 256;
    static constexpr int kMaxKeyBytes = 512;

    SnmpTrapTextCache();
    SnmpTrapTextCache(const SnmpTrapTextCache&) = delete;
    SnmpTrapTextCache& operator=(const SnmpTrapTextCache&) = delete;

    // The OID's dotted text, as snmptrap::oidText writes it.
    QString oidText(const unsigned long* name, size_t length);
    // Bytes read as UTF-8 or as Latin-1.
    QString utf8Text(const unsigned char* bytes, size_t size) { return text(Utf8, bytes, size); }
    QString latin1Text(const unsigned char* bytes, size_t size) { return text(Latin1, bytes, size); }

private:
    struct Slot
    {
        int kind = -1;
        QByteArray key;
        QString text;
    };

    QString text(Kind kind, const void* bytes, size_t size);
    static QString make(Kind kind, const void* bytes, size_t size);

    std::vector<Slot> m_slots;
};
