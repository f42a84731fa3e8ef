#pragma once
// Expected-response rules of the HTTP(S) check, judged while the response streams in.
// A validator belongs to one CHttpRequest and is fed by its task thread only; no locks.
// Every validator keeps its carried state as raw bytes, so a UTF-8 character split between
// chunks is decoded whole.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstddef>

class CHttpResponseValidator
{
public:
    enum { Active = 0x01, Inverted = 0x04, NoCase = 0x08, Regexp = 0x10 };

    explicit CHttpResponseValidator(int mode) : m_mode(mode) {}
    virtual ~CHttpResponseValidator() = default;

    // One chunk of the response (status line, a header line, the blank line or body bytes);
    // data null marks the end of the transfer. False when the validator can take no more
    // (the regular-expression rule's size limit): the transfer should stop.
    virtual bool validateResponse(const char* data, size_t length) = 0;
    virtual void reset() { m_found = false; }
    // Why validateResponse refused, empty otherwise.
    virtual QString error() const { return QString(); }

    int mode() const { return m_mode; }
    bool isFound() const { return m_found; }
    bool isOk() const;

    // The validator for a rule's flags and text (UTF-8, alternatives separated by U+00A0).
    static CHttpResponseValidator* create(int flags, const QByteArray& text);
    static QStringList alternatives(const QByteArray& text);

protected:
    int m_mode;
    bool m_found = false;
};

class CHttpNullResponseValidator : public CHttpResponseValidator
{
public:
    using CHttpResponseValidator::CHttpResponseValidator;
    bool validateResponse(const char*, size_t) override { return true; }
};
