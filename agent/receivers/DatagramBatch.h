#pragma once
#include <QByteArray>
#include <QExplicitlySharedDataPointer>
#include <QSharedData>
#include <QString>
#include <QVector>
#include <vector>

// The datagrams one read of a receiver's socket took, back to back in one buffer, each with
// its sender's address text. A read handed on as one batch costs the receiving thread no
// allocation per datagram; the records are built on the thread that takes the batch.
// Threads: filled on the connector thread, then shared read-only (DatagramBatchPtr).
class DatagramBatch : public QSharedData
{
public:
    // Bytes reserved at the first datagram: a few short ones fit without growing.
    static constexpr int kInitialBytes = 2048;

    // Entries reserved at the first datagram: a receiver's read of up to this many grows none.
    static constexpr int kInitialEntries = 256;

    void append(const QByteArray& datagram, const QString& sender) { append(datagram.constData(), datagram.size(), sender); }
    void append(const char* bytes, int size, const QString& sender)
    {
        if (m_entries.empty()) {
            m_bytes.reserve(kInitialBytes);
            m_entries.reserve(kInitialEntries);
        }
        if (m_senders.isEmpty() || m_senders.constLast() != sender)
            m_senders.append(sender);
        m_entries.push_back({m_bytes.size(), size, m_senders.size() - 1});
        m_bytes.append(bytes, size);
    }

    // Room for bytes of datagrams, so a batch as large as the last grows no more.
    void reserveBytes(int bytes)
    {
        if (bytes > m_bytes.capacity())
            m_bytes.reserve(bytes);
    }

    int count() const { return static_cast<int>(m_entries.size()); }
    // The bytes of all datagrams.
    int byteCount() const { return m_bytes.size(); }
    // The bytes the buffer holds on to (its capacity).
    qint64 bufferBytes() const { return m_bytes.capacity(); }
    // Datagram i as bytes valid while the batch lives: never null, empty for an empty datagram.
    QByteArray datagram(int i) const
    {
        const Entry& e = m_entries[size_t(i)];
        return QByteArray::fromRawData(m_bytes.constData() + e.offset, e.size);
    }
    int size(int i) const { return m_entries[size_t(i)].size; }
    const QString& sender(int i) const { return m_senders[m_entries[size_t(i)].sender]; }

private:
    struct Entry
    {
        int offset;
        int size;
        int sender;
    };
    QByteArray m_bytes;
    std::vector<Entry> m_entries;
    QVector<QString> m_senders;   // one per run of datagrams from one sender
};

using DatagramBatchPtr = QExplicitlySharedDataPointer<const DatagramBatch>;
