#include "VMwareObject.h"

QString vmwareTypeName(VMwareObjectType type)
{
    switch (type) {
    case VMwareHostSystem:
        return QStringLiteral("HostSystem");
    case VMwareVirtualMachine:
        return QStringLiteral("VirtualMachine");
    case VMwareDatastore:
        return QStringLiteral("Datastore");
    }
    return QString();
}
