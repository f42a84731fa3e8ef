// An ESXi server's answer as the VMware client reads it: every reader over the same bytes.
// A reader must end, report Ok, Fault or Malformed, and keep nothing from a broken document.

#include "VMware/VMwareSoapReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray answer = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<int>(size));
    QString fault;
    const VMwareSoapReader::Status status = VMwareSoapReader::readFault(answer, &fault);
    if (fault.size() > VMwareSoapReader::kMaxFaultText)
        std::abort();

    VMwareSoapReader::ServiceContent content;
    VMwareSoapReader::readServiceContent(answer, content, nullptr);
    QString text;
    VMwareSoapReader::readContainerView(answer, text, nullptr);
    for (VMwareObjectType type : {VMwareHostSystem, VMwareVirtualMachine, VMwareDatastore}) {
        QList<VMwareObject> objects;
        if (VMwareSoapReader::readObjects(answer, type, objects, nullptr) != status || (status != VMwareSoapReader::Ok && !objects.isEmpty()))
            std::abort();
    }
    QStringList texts;
    for (const char* element : {"val", "ManagedObjectReference", "capacity", "freeSpace"}) {
        if (VMwareSoapReader::readElementTexts(answer, QLatin1String(element), texts, nullptr) != status
            || (status != VMwareSoapReader::Ok && !texts.isEmpty()))
            std::abort();
    }
    if (VMwareSoapReader::readPerfValue(answer, text, nullptr) != status || (status != VMwareSoapReader::Ok && !text.isEmpty()))
        std::abort();
    return 0;
}
