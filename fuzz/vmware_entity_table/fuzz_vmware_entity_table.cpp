// The object-name setting of a VMware monitor as the service may send it: any bytes, read as
// UTF-8 and split into an entity table. The selection must be the first part, and its id a
// field of the setting that follows a name field equal to it.

#include "VMware/VMwareEntityTable.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString setting = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<int>(size));
    const QStringList parts = setting.split(QChar(VMwareEntityTable::kSeparator), QString::KeepEmptyParts);
    for (int perObject : {VMwareEntityTable::kDatastoreFields, VMwareEntityTable::kMachineFields}) {
        const VMwareEntityTable::Selection s = VMwareEntityTable::select(setting, perObject);
        if (s.name != parts.value(0))
            std::abort();
        if (s.id.isEmpty())
            continue;
        bool named = false;
        for (int at = 1; at + perObject - 1 < parts.size() && !named; at += perObject)
            named = parts[at] == s.name && parts[at + perObject - 1] == s.id;
        if (!named || s.name.isEmpty())
            std::abort();
    }
    return 0;
}
