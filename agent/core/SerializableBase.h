#pragma once

#include <QMap>
#include <QMetaProperty>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

// Base of records whose fields are Qt properties: save to and load from a name -> value map,
// compare and copy, all by walking the meta-object, so a derived record needs no code of its
// own. "objectName" is never saved, loaded, compared or copied. Objects are used by one thread
// at a time, like any QObject.
class SerializableBase : public QObject
{
    Q_OBJECT

public:
    explicit SerializableBase(QObject* parent = nullptr);
    // A new object without parent; copies only what this class itself declares (a derived
    // class copies its own properties in its own copy constructor).
    SerializableBase(const SerializableBase& other);
    // Copies through the virtual cloneFrom, so the whole derived record is copied.
    SerializableBase& operator=(const SerializableBase& other);

    // Saves every stored property but "objectName" into data; other entries stay.
    virtual void getObjectData(QMap<QString, QVariant>& data) const;
    // doCloneFrom without "objectName".
    virtual void cloneFrom(const SerializableBase& other);

    // Calls function for each property not in skip, in meta-object order; false stops.
    void forEachProperty(const std::function<bool(const QMetaProperty&)>& function,
                         const QStringList& skip = QStringList()) const;
    // Writes every stored property but "objectName" from data: a value that converts to the
    // property's type is written converted; one that does not is written only to a QVariant
    // property; any other property keeps its value.
    void initProperties(const QMap<QString, QVariant>& data);
    // False at the first readable stored property (not in skip) whose value differs from
    // other's property of the same name (invalid when other has none).
    bool isEqual(const SerializableBase& other, const QStringList& skip) const;
    bool equals(const SerializableBase& other) const;
    bool operator==(const SerializableBase& other) const { return equals(other); }
    bool operator!=(const SerializableBase& other) const { return !equals(other); }
    // Copies every readable stored property of this object's class not in skip from other.
    void doCloneFrom(const SerializableBase& other, const QStringList& skip);
};
