#include "BoundedVariantReader.h"

#include "DataStreamLimits.h"

#include <QByteArrayList>
#include <QIODevice>
#include <QMetaType>

namespace {

constexpr int MaxVariantDepth = 16;

template <class Item, class ReadItem>
bool readBoundedList(QDataStream& in, QList<Item>& list, qint64 minItemBytes, ReadItem readItem)
{
    quint32 n = 0;
    in >> n;
    if (!streamCountFits(in, n, minItemBytes)) {
        markStreamCorrupt(in);
        return false;
    }
    for (quint32 i = 0; i < n; ++i) {
        Item item;
        readItem(item);
        if (in.status() != QDataStream::Ok) {
            list.clear();
            return false;
        }
        list.append(item);
    }
    return true;
}

} // namespace

void readBoundedVariant(QDataStream& in, QVariant& value, int depth)
{
    value = QVariant();
    QIODevice* dev = in.device();
    if (!dev || in.status() != QDataStream::Ok)
        return;
    // Peek the type id; only container types are read here, the rest by Qt, whose
    // readers of strings and byte arrays already grow in bounded steps.
    char head[4];
    if (dev->peek(head, 4) != 4) {
        in >> value;
        return;
    }
    const quint32 typeId = in.byteOrder() == QDataStream::BigEndian
                               ? (quint32(quint8(head[0])) << 24) | (quint32(quint8(head[1])) << 16) |
                                     (quint32(quint8(head[2])) << 8) | quint32(quint8(head[3]))
                               : (quint32(quint8(head[3])) << 24) | (quint32(quint8(head[2])) << 16) |
                                     (quint32(quint8(head[1])) << 8) | quint32(quint8(head[0]));
    const bool container = typeId == QMetaType::QVariantMap || typeId == QMetaType::QVariantList ||
                           typeId == QMetaType::QStringList || typeId == QMetaType::QVariantHash ||
                           typeId == QMetaType::QByteArrayList || typeId == 127 /* user type by name */;
    if (!container) {
        in >> value;
        return;
    }
    if (typeId == 127 || depth >= MaxVariantDepth) {
        // Named user types may carry unchecked containers; refuse them.
        markStreamCorrupt(in);
        return;
    }
    quint32 id = 0;
    in >> id;
    if (in.version() >= QDataStream::Qt_4_2) {
        qint8 isNull = 0;
        in >> isNull;
    }
    switch (id) {
    case QMetaType::QStringList: {
        QList<QString> l;
        if (readBoundedList(in, l, 4, [&](QString& s) { in >> s; }))
            value = QStringList(l);
        break;
    }
    case QMetaType::QByteArrayList: {
        QList<QByteArray> l;
        if (readBoundedList(in, l, 4, [&](QByteArray& b) { in >> b; }))
            value = QVariant::fromValue(QByteArrayList(l));
        break;
    }
    case QMetaType::QVariantList: {
        QVariantList l;
        if (readBoundedList(in, l, 4, [&](QVariant& v) { readBoundedVariant(in, v, depth + 1); }))
            value = l;
        break;
    }
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash: {
        quint32 n = 0;
        in >> n;
        if (!streamCountFits(in, n, 8)) {
            markStreamCorrupt(in);
            return;
        }
        QVariantMap m;
        QVariantHash h;
        for (quint32 i = 0; i < n; ++i) {
            QString k;
            QVariant v;
            in >> k;
            readBoundedVariant(in, v, depth + 1);
            if (in.status() != QDataStream::Ok)
                return;
            if (id == QMetaType::QVariantMap)
                m.insert(k, v);
            else
                h.insert(k, v);
        }
        value = id == QMetaType::QVariantMap ? QVariant(m) : QVariant(h);
        break;
    }
    default:
        break;
    }
}

