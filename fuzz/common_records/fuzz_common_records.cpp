// Reads attachment records, optional values and packed text from untrusted bytes.
#include "common/GlobalSettingRegistry.h"
#include "common/Optional.h"
#include "common/TemplateAttachment.h"

#include <QByteArray>
#include <QDataStream>
#include <QString>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const int mode = data[0] % 4;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), int(size - 1));
    QDataStream s(bytes);
    s.setVersion(QDataStream::Qt_4_0);
    switch (mode) {
    case 0:
        // A list as the link frames it: bool true, record, ..., bool false.
        for (int i = 0; i < 64 && s.status() == QDataStream::Ok; ++i) {
            bool more = false;
            s >> more;
            if (!more)
                break;
            STemplateAttachmentData a;
            s >> a;
            if (s.status() == QDataStream::Ok) {
                // What was read must be written and read back unchanged.
                QByteArray again;
                QDataStream w(&again, QIODevice::WriteOnly);
                w.setVersion(QDataStream::Qt_4_0);
                w << a;
                STemplateAttachmentData b;
                QDataStream r(again);
                r.setVersion(QDataStream::Qt_4_0);
                r >> b;
                if (!(a == b) || r.status() != QDataStream::Ok)
                    __builtin_trap();
            }
        }
        break;
    case 1: {
        STemplateAttachment a;
        s >> a;
        Optional<QString> text;
        Optional<QByteArray> blob;
        Optional<int> number;
        Optional<bool> flag;
        s >> text >> blob >> number >> flag;
        (void)text.valueOrEmpty();
        break;
    }
    case 2:
        (void)unpackText(QString::fromLatin1(bytes));
        break;
    default: {
        s.setVersion(bytes.isEmpty() ? 7 : (uchar(bytes[0]) % 20) + 1);
        STemplateAttachmentData a;
        s >> a;
        break;
    }
    }
    return 0;
}
