#pragma once

#include <QByteArray>
#include <QDataStream>
#include <QIODevice>
#include <QString>

// A value that may be unset or explicitly null.
// State: 1 unset (default), 2 holds a value, 3 explicitly null; 0 only comes from a stream
// that carried (false, false) and behaves like a state without value.
// Plain value type: no locking, copy it across threads like any Qt value.

void optionalWarnAbsent();

template<typename T>
class Optional
{
public:
    enum State : qint32 { StateNone = 0, StateUnset = 1, StateValue = 2, StateNull = 3 };

    Optional() = default;
    Optional(const T& v) : m_state(StateValue), m_value(v) {}

    static Optional null()
    {
        Optional o;
        o.m_state = StateNull;
        return o;
    }

    qint32 state() const { return m_state; }
    bool hasValue() const { return m_state == StateValue; }
    bool isNull() const { return m_state == StateNull; }
    bool isUnset() const { return m_state == StateUnset; }

    // Reading an unset or null value warns and gives the empty value, never whatever a stream
    // left. State 0 (neither bit from a stream) yields the held value without a warning.
    const T& value() const
    {
        if (m_state == StateUnset || m_state == StateNull) {
            optionalWarnAbsent();
            return emptyValue();
        }
        return m_value;
    }
    T valueOr(const T& fallback) const { return m_state == StateValue ? m_value : fallback; }
    // The held value when the state has no null bit (bit 0), else the empty value; no warning.
    T valueOrEmpty() const { return (m_state & 1) ? T() : m_value; }

    void set(const T& v) { m_state = StateValue; m_value = v; }
    void setNull() { m_state = StateNull; m_value = T(); }
    void reset() { m_state = StateUnset; m_value = T(); }

    // Same state, and equal values when both hold one.
    bool operator==(const Optional& o) const
    {
        return m_state == o.m_state && (m_state != StateValue || m_value == o.m_value);
    }
    bool operator!=(const Optional& o) const { return !(*this == o); }

    // Raw access for the stream form, which always carries the held value.
    const T& rawValue() const { return m_value; }
    void setRaw(qint32 state, const T& v) { m_state = state; m_value = v; }

private:
    static const T& emptyValue()
    {
        static const T empty{};
        return empty;
    }

    qint32 m_state = StateUnset;
    T m_value{};
};

namespace OptionalDetail {

// True unless the next length-prefixed block (text or bytes) claims more bytes than the
// stream still holds. Only devices of known size (buffers, files) can be checked; Qt itself
// reads such blocks in 1 MiB steps, which bounds the rest.
inline bool lengthPrefixFits(QDataStream& s)
{
    QIODevice* d = s.device();
    if (!d || d->isSequential())
        return true;
    const QByteArray head = d->peek(4);
    if (head.size() < 4)
        return true;   // the read itself reports the short stream
    const auto b = reinterpret_cast<const uchar*>(head.constData());
    const quint32 len = s.byteOrder() == QDataStream::BigEndian
                            ? (quint32(b[0]) << 24) | (quint32(b[1]) << 16) | (quint32(b[2]) << 8) | b[3]
                            : (quint32(b[3]) << 24) | (quint32(b[2]) << 16) | (quint32(b[1]) << 8) | b[0];
    return len == 0xffffffffu || quint64(len) + 4 <= quint64(d->bytesAvailable());
}

template<typename T>
bool fits(QDataStream&) { return true; }
template<>
inline bool fits<QString>(QDataStream& s) { return lengthPrefixFits(s); }
template<>
inline bool fits<QByteArray>(QDataStream& s) { return lengthPrefixFits(s); }

} // namespace OptionalDetail

// Stream form: bool (state bit 1), bool (state bit 0), then the value, always.
template<typename T>
QDataStream& operator<<(QDataStream& s, const Optional<T>& o)
{
    s << bool(o.state() & 2) << bool(o.state() & 1) << o.rawValue();
    return s;
}

template<typename T>
QDataStream& operator>>(QDataStream& s, Optional<T>& o)
{
    bool set = false, null = false;
    T v{};
    s >> set >> null;
    if (s.status() == QDataStream::Ok && !OptionalDetail::fits<T>(s))
        s.setStatus(QDataStream::ReadPastEnd);
    if (s.status() == QDataStream::Ok)
        s >> v;
    if (s.status() != QDataStream::Ok) {
        o.reset();
        return s;
    }
    o.setRaw((set ? 2 : 0) | (null ? 1 : 0), v);
    return s;
}
