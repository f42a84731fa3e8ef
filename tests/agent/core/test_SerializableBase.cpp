#include "core/SerializableBase.h"

#include <gtest/gtest.h>

#include <QDateTime>

namespace {

// a and text are stored, hidden is not, b is read-only; any takes every kind of value.
class Sample : public SerializableBase
{
    Q_OBJECT
    Q_PROPERTY(int a MEMBER m_a)
    Q_PROPERTY(QString text MEMBER m_text)
    Q_PROPERTY(int hidden MEMBER m_hidden STORED false)
    Q_PROPERTY(int b READ b)
    Q_PROPERTY(QVariant any MEMBER m_any)

public:
    using SerializableBase::SerializableBase;
    Sample(const Sample& other) : SerializableBase(other) { cloneFrom(other); }
    Sample& operator=(const Sample& other)
    {
        SerializableBase::operator=(other);
        return *this;
    }
    int b() const { return m_b; }

    int m_a = 1;
    QString m_text = QStringLiteral("t");
    int m_hidden = 2;
    int m_b = 3;
    QVariant m_any;
};

class Derived : public Sample
{
    Q_OBJECT
    Q_PROPERTY(QDateTime when MEMBER m_when)

public:
    using Sample::Sample;
    QDateTime m_when;
};

// Shares the name a with Sample but is no Sample.
class Stranger : public SerializableBase
{
    Q_OBJECT
    Q_PROPERTY(QString a MEMBER m_a)

public:
    QString m_a = QStringLiteral("42");
};

// Its copy constructor leaves a to the base and copies b itself.
class Shallow : public SerializableBase
{
    Q_OBJECT
    Q_PROPERTY(int a MEMBER m_a)

public:
    Shallow() = default;
    Shallow(const Shallow& other) : SerializableBase(other), m_b(other.m_b) {}
    int m_a = 0;
    int m_b = 0;
};

} // namespace

TEST(SerializableBase, SavesStoredPropertiesOnly)
{
    Sample s;
    s.setObjectName(QStringLiteral("n"));
    s.m_a = 5;
    s.m_any = QStringList{"x"};
    QMap<QString, QVariant> data{{"a", 0}, {"other", "stays"}};
    s.getObjectData(data);
    EXPECT_EQ(data.keys(), (QStringList{"a", "any", "b", "other", "text"}));
    EXPECT_EQ(data.value("a"), QVariant(5));
    EXPECT_EQ(data.value("b"), QVariant(3));
    EXPECT_EQ(data.value("any"), QVariant(QStringList{"x"}));
    EXPECT_EQ(data.value("other"), QVariant("stays"));
}

TEST(SerializableBase, LoadsConvertibleValues)
{
    const struct {
        const char* what;
        QMap<QString, QVariant> data;
        int a;
        QString text;
        QVariant any;
    } cases[] = {
        {"text to int", {{"a", "12"}, {"text", 7}}, 12, "7", QVariant()},
        {"not a number keeps the int", {{"a", "abc"}}, 1, "t", QVariant()},
        {"a list keeps the int", {{"a", QVariantList{1, 2}}}, 1, "t", QVariant()},
        {"absent names", {}, 1, "t", QVariant()},
        {"any kind into a QVariant", {{"any", QVariantList{1, "x"}}}, 1, "t", QVariant(QVariantList{1, "x"})},
        {"hidden and name untouched", {{"hidden", 9}, {"objectName", "x"}, {"b", 8}}, 1, "t", QVariant()},
    };
    for (const auto& c : cases) {
        Sample s;
        s.m_any = QStringLiteral("before");
        s.initProperties(c.data);
        EXPECT_EQ(s.m_a, c.a) << c.what;
        EXPECT_EQ(s.m_text, c.text) << c.what;
        EXPECT_EQ(s.m_any, c.any) << c.what;   // absent: the QVariant property becomes invalid
        EXPECT_EQ(s.m_hidden, 2) << c.what;
        EXPECT_EQ(s.b(), 3) << c.what;
        EXPECT_EQ(s.objectName(), QString()) << c.what;
    }

    // A round trip through the map.
    Sample from;
    from.m_a = 77;
    from.m_text = QStringLiteral("round");
    from.m_any = 3.5;
    QMap<QString, QVariant> data;
    from.getObjectData(data);
    Sample to;
    to.initProperties(data);
    EXPECT_TRUE(to.equals(from));
}

TEST(SerializableBase, ComparesStoredReadableProperties)
{
    Sample x, y;
    x.setObjectName(QStringLiteral("x"));
    y.setObjectName(QStringLiteral("y"));
    EXPECT_TRUE(x.equals(y));
    EXPECT_TRUE(x == y);
    EXPECT_FALSE(x.isEqual(y, {}));   // with the object name

    y.m_hidden = 99;   // not stored: ignored
    EXPECT_TRUE(x.equals(y));
    y.m_b = 4;         // read-only but stored: compared
    EXPECT_FALSE(x.equals(y));
    EXPECT_TRUE(x.isEqual(y, {"objectName", "b"}));
    y.m_b = 3;
    y.m_text = QStringLiteral("T");
    EXPECT_TRUE(x != y);

    // Properties other lacks read as invalid values.
    Derived d;
    Sample plain;
    d.m_when = QDateTime::fromSecsSinceEpoch(1000);
    EXPECT_TRUE(plain.equals(d));
    EXPECT_FALSE(d.equals(plain));
    Stranger stranger;
    EXPECT_FALSE(plain.equals(stranger));
}

TEST(SerializableBase, CopiesWithoutTheObjectName)
{
    Derived from;
    from.setObjectName(QStringLiteral("from"));
    from.m_a = 10;
    from.m_text = QStringLiteral("copied");
    from.m_hidden = 11;
    from.m_any = QVariantMap{{"k", 1}};
    from.m_when = QDateTime::fromSecsSinceEpoch(2000);

    Derived to;
    to.setObjectName(QStringLiteral("to"));
    to.cloneFrom(from);
    EXPECT_EQ(to.objectName(), "to");
    EXPECT_EQ(to.m_a, 10);
    EXPECT_EQ(to.m_text, "copied");
    EXPECT_EQ(to.m_any, from.m_any);
    EXPECT_EQ(to.m_when, from.m_when);
    EXPECT_EQ(to.m_hidden, 2);   // not stored, not copied
    EXPECT_TRUE(to.equals(from));

    // Assignment copies the whole derived record through the virtual copy.
    Derived assigned;
    static_cast<SerializableBase&>(assigned) = from;
    EXPECT_EQ(assigned.m_when, from.m_when);
    EXPECT_EQ(assigned.objectName(), QString());

    // Copy construction: no parent, and no object name.
    QObject parent;
    from.setParent(&parent);
    const Derived copy(from);
    EXPECT_EQ(copy.parent(), nullptr);
    EXPECT_EQ(copy.objectName(), QString());
    EXPECT_EQ(copy.m_a, 10);
    from.setParent(nullptr);

    // The base's step copies none of a derived class's properties: that class copies them.
    Shallow shallowFrom;
    shallowFrom.m_a = 5;
    shallowFrom.m_b = 6;
    const Shallow shallow(shallowFrom);
    EXPECT_EQ(shallow.m_a, 0);
    EXPECT_EQ(shallow.m_b, 6);

    // From an object of another class only the names it has are taken, by name.
    Sample fromStranger;
    Stranger stranger;
    fromStranger.cloneFrom(stranger);
    EXPECT_EQ(fromStranger.m_a, 42);
    EXPECT_EQ(fromStranger.m_text, "t");
}

#include "test_SerializableBase.moc"
