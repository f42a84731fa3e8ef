#pragma once
#include <QByteArray>
#include <QString>

// A named byte string in guarded form: big-endian 32-bit length L, the L value bytes, two zero
// bytes (so the value is a zero-terminated string for the library), the big-endian CRC-16
// (ISO 3309) of the value. The library is handed a pointer to the value; when the holder is
// released the form is verified, so a library write into the buffer shows up in the log.
// Plain value: copies share the bytes implicitly; valueData() makes them the holder's own.
// No lock; a holder belongs to one thread at a time.
struct SGuardedValue
{
    static constexpr quint32 kUnverifiedLength = 0x00FFFFFF;

    explicit SGuardedValue(const QString& name = QStringLiteral("unknown"));
    SGuardedValue(const SGuardedValue& other) = default;
    SGuardedValue& operator=(const SGuardedValue& other) = default;
    ~SGuardedValue();

    // Stores the guarded form of value.
    void setValue(const QByteArray& value);
    // The value as a zero-terminated string inside this holder's own buffer. A form too short
    // to hold a value (never accepted from a stream) gives an empty string.
    const char* valueData();
    // The value bytes (L of them; everything after the header for an unverified form).
    QByteArray value() const;

    // Verifies the form and logs what is wrong with it (what the destructor does).
    void verify() const;

    // Checks a guarded form that arrived from a peer before anyone may point into it: the
    // header is present, the length fits the bytes and the value is zero-terminated. Empty
    // when acceptable, else the reason.
    static QString checkForm(const QByteArray& form);
    static QByteArray encode(const QByteArray& value);

    QString name;
    QByteArray bytes;
};
