// Attachment content from the service: capped decompression and the attachment list records.
#include "link/AttachmentListRecords.h"
#include "link/TemplateAttachmentsStore.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    QByteArray out;
    QString error;
    const int cap = 1 << 20;
    if (uncompressAttachment(bytes, out, error, cap)) {
        if (out.size() > cap)
            __builtin_trap();
    } else if (!out.isEmpty()) {
        __builtin_trap();
    }
    QList<STemplateAttachmentData> list;
    if (readAttachmentList(bytes, list))
        for (const auto& a : list) {
            (void)isSafeAttachmentName(a.name.valueOrEmpty());
            (void)isSafeAppFilesPath(a.fileName.valueOrEmpty());
        }
    return 0;
}
