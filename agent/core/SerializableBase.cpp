#include "SerializableBase.h"

#include <QMetaObject>

namespace {

const QString& objectNameProperty()
{
    static const QString name = QStringLiteral("objectName");
    return name;
}

QVariant readByName(const QObject& object, const char* name)
{
    const QMetaObject* meta = object.metaObject();
    const int index = meta->indexOfProperty(name);
    return index < 0 ? QVariant() : meta->property(index).read(&object);
}

} // namespace

SerializableBase::SerializableBase(QObject* parent) : QObject(parent) {}

SerializableBase::SerializableBase(const SerializableBase& other) : QObject(nullptr)
{
    // Virtual calls in a constructor stay in this class: only its own properties are copied.
    SerializableBase::cloneFrom(other);
}

SerializableBase& SerializableBase::operator=(const SerializableBase& other)
{
    if (this != &other)
        cloneFrom(other);
    return *this;
}

void SerializableBase::forEachProperty(const std::function<bool(const QMetaProperty&)>& function,
                                       const QStringList& skip) const
{
    const QMetaObject* meta = metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        if (skip.contains(QString::fromLatin1(property.name())))
            continue;
        if (!function(property))
            return;
    }
}

void SerializableBase::getObjectData(QMap<QString, QVariant>& data) const
{
    forEachProperty(
        [&](const QMetaProperty& property) {
            if (property.isStored(this))
                data[QString::fromLatin1(property.name())] = property.read(this);
            return true;
        },
        {objectNameProperty()});
}

void SerializableBase::initProperties(const QMap<QString, QVariant>& data)
{
    forEachProperty(
        [&](const QMetaProperty& property) {
            if (!property.isStored(this))
                return true;
            QVariant value = data.value(QString::fromLatin1(property.name()));
            QVariant converted = value;
            // A value whose conversion fails ("abc" for an int) counts as one that cannot be
            // converted, rather than overwriting the property with an empty value.
            if (value.canConvert(property.userType()) && converted.convert(property.userType()))
                property.write(this, converted);
            else if (qstrcmp(property.typeName(), "QVariant") == 0)
                property.write(this, value);
            return true;
        },
        {objectNameProperty()});
}

bool SerializableBase::isEqual(const SerializableBase& other, const QStringList& skip) const
{
    bool equal = true;
    forEachProperty(
        [&](const QMetaProperty& property) {
            if (!property.isReadable() || !property.isStored(this))
                return true;
            equal = property.read(this) == readByName(other, property.name());
            return equal;
        },
        skip);
    return equal;
}

bool SerializableBase::equals(const SerializableBase& other) const
{
    return isEqual(other, {objectNameProperty()});
}

void SerializableBase::doCloneFrom(const SerializableBase& other, const QStringList& skip)
{
    // Reading other through this class's meta-properties is only valid when other is of this
    // class; for any other class the values are looked up by name, and names other lacks are
    // left alone.
    const bool sameKind = other.metaObject()->inherits(metaObject());
    forEachProperty(
        [&](const QMetaProperty& property) {
            if (!property.isReadable() || !property.isStored(this))
                return true;
            if (sameKind) {
                setProperty(property.name(), property.read(&other));
            } else {
                const QVariant value = readByName(other, property.name());
                if (value.isValid())
                    setProperty(property.name(), value);
            }
            return true;
        },
        skip);
}

void SerializableBase::cloneFrom(const SerializableBase& other)
{
    doCloneFrom(other, {objectNameProperty()});
}
