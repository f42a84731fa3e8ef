// A read's datagrams as one batch: each comes back whole and in order with its sender, an
// empty datagram stays empty but not null, and runs from one sender share its text.
#include "receivers/DatagramBatch.h"

#include <gtest/gtest.h>

namespace {

TEST(DatagramBatch, DatagramsComeBackWholeWithTheirSenders)
{
    const struct { QByteArray datagram; const char* sender; } sent[] = {
        {QByteArray("<34>first"), "127.0.0.1"},
        {QByteArray(""), "127.0.0.1"},
        {QByteArray("a\0b", 3), "::1"},
        {QByteArray(5000, 'x'), "::1"},   // past the first reservation: the buffer moves
        {QByteArray("last"), "127.0.0.1"},
    };
    QExplicitlySharedDataPointer<DatagramBatch> batch(new DatagramBatch);
    for (const auto& s : sent)
        batch->append(s.datagram, QString::fromLatin1(s.sender));
    ASSERT_EQ(batch->count(), 5);
    for (int i = 0; i < batch->count(); ++i) {
        EXPECT_EQ(batch->datagram(i), sent[i].datagram) << i;
        EXPECT_EQ(batch->size(i), sent[i].datagram.size()) << i;
        EXPECT_FALSE(batch->datagram(i).isNull()) << i;
        EXPECT_EQ(batch->sender(i), QString::fromLatin1(sent[i].sender)) << i;
    }
    EXPECT_GE(batch->bufferBytes(), 5000 + 16);
    // One text per run of datagrams from one sender.
    EXPECT_EQ(batch->sender(0).constData(), batch->sender(1).constData());
    EXPECT_EQ(batch->sender(2).constData(), batch->sender(3).constData());
    EXPECT_NE(batch->sender(0).constData(), batch->sender(4).constData());
}

} // namespace
