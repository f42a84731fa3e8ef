#pragma once
// A managed object of an ESXi server as the VMware checks know it: its kind, its
// managed-object id and its display name. Plain value type.

#include <QString>

enum VMwareObjectType { VMwareHostSystem = 0, VMwareVirtualMachine = 1, VMwareDatastore = 2 };

struct VMwareObject
{
    VMwareObjectType type = VMwareHostSystem;
    QString id;
    QString name;
};

// The type name on the wire ("HostSystem", "VirtualMachine", "Datastore").
QString vmwareTypeName(VMwareObjectType type);
