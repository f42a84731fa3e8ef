#pragma once
// The entity table of the VMware checks: the selected object's name, then one group of fields
// per object, 0x1E before every field (virtual machines: name, power state, id; datastores:
// name, id). A poll reports it for the service's picker, and the service hands the last one
// back in the object-name setting, from which the poll takes the watched object's id.
// Text is UTF-8 both ways, so names outside Latin-1 match again. Pure functions; no state.

#include <QString>
#include <QStringList>

namespace VMwareEntityTable {

constexpr char16_t kSeparator = 0x1E;
constexpr int kMachineFields = 3;    // name, power state, id
constexpr int kDatastoreFields = 2;  // name, id

struct Selection
{
    QString name;  // the first part: the object to watch, possibly empty
    QString id;    // its id from the table; empty when the table does not list it completely
};

// Splits the setting at every separator, keeping empty parts. The id is the last field of the
// first complete group whose name field equals the selected name; only name fields are
// compared, so a machine named like a power state or an id cannot be mistaken for another.
// An empty selected name has no id.
Selection select(const QString& setting, int fieldsPerObject);

// Appends one object's group of fields to a table.
void appendObject(QString& table, const QStringList& fields);

}  // namespace VMwareEntityTable
