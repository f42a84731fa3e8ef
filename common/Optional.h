#pragma once
#include <QDataStream>
#include <QtGlobal>

void optionalWarnNoValue();

// A value that may be unset (the default), hold a value, or be explicitly set to null.
// Plain value type; no locking. State numbers are part of the stream form:
// bit 1 = "set", bit 0 = "null"; a stream may also yield 0 (neither bit).
template <typename T>
class Optional
{
public:
    enum State : qint32 { Neither = 0, Unset = 1, Value = 2, Null = 3 };

    Optional() = default;
    Optional(const T& value) : m_state(Value), m_value(value) {}

    static Optional null()
    {
        Optional o;
        o.m_state = Null;
        return o;
    }

    State state() const { return m_state; }
    bool hasValue() const { return m_state == Value; }
    bool isUnset() const { return m_state == Unset; }
    bool isNull() const { return m_state == Null; }

    // The held value; without one this warns and yields the stored (default) value.
    const T& get() const
    {
        if (m_state != Value && m_state != Neither)
            optionalWarnNoValue();
        return m_value;
    }
    // The stored value without any warning.
    const T& raw() const { return m_value; }

    void set(const T& value)
    {
        m_state = Value;
        m_value = value;
    }
    void setNull()
    {
        m_state = Null;
        m_value = T();
    }
    void reset()
    {
        m_state = Unset;
        m_value = T();
    }

    // Equal when the states match and, with values on both sides, the values match.
    friend bool operator==(const Optional& a, const Optional& b)
    {
        if (a.m_state != b.m_state)
            return false;
        return a.m_state != Value || a.m_value == b.m_value;
    }
    friend bool operator!=(const Optional& a, const Optional& b) { return !(a == b); }

    friend QDataStream& operator<<(QDataStream& out, const Optional& o)
    {
        out << bool(o.m_state & 2) << bool(o.m_state & 1) << o.m_value;
        return out;
    }
    friend QDataStream& operator>>(QDataStream& in, Optional& o)
    {
        bool set = false, null = false;
        T value{};
        in >> set >> null >> value;
        o.m_state = State((set ? 2 : 0) | (null ? 1 : 0));
        o.m_value = value;
        return in;
    }

private:
    State m_state = Unset;
    T m_value{};
};
