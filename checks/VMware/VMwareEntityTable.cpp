#include "VMwareEntityTable.h"

#include <QVector>

namespace VMwareEntityTable {

Selection select(const QString& setting, int fieldsPerObject)
{
    Selection out;
    const QVector<QStringRef> parts = setting.splitRef(QChar(kSeparator), Qt::KeepEmptyParts);
    out.name = parts.value(0).toString();
    // an empty selection watches nothing, whatever the table lists
    if (out.name.isEmpty() || fieldsPerObject < 2)
        return out;
    // groups start after the selected name; a trailing partial group names no id
    for (int at = 1; at + fieldsPerObject - 1 < parts.size(); at += fieldsPerObject) {
        if (parts[at] == out.name) {
            out.id = parts[at + fieldsPerObject - 1].toString();
            break;
        }
    }
    return out;
}

void appendObject(QString& table, const QStringList& fields)
{
    for (const QString& field : fields) {
        table += QChar(kSeparator);
        table += field;
    }
}

}  // namespace VMwareEntityTable
