#pragma once
// Expected-response rules of the HTTP(S) check, judged while the response streams in.
// A validator belongs to one CHttpRequest and is fed by its task thread only; no locks.
// Every validator keeps its carried state as raw bytes, so a UTF-8 character split between
// chunks is decoded whole.

#include <QByteArray>
#include <QList>
#include <QRegExp>
#include <QString>

#include <cstddef>
#include <vector>

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

// Streaming substring search for one alternative: pending partial matches carry a pattern
// prefix that ended a chunk into the next one, whatever the chunk's length.
class CHttpSimpleResponseValidatorElement
{
public:
    explicit CHttpSimpleResponseValidatorElement(const QByteArray& pattern) : m_pattern(pattern) {}
    bool validate(const char* data, size_t length);
    void reset() { m_pending.clear(); }

private:
    QByteArray m_pattern;
    std::vector<size_t> m_pending;  // prefix lengths, longest first, at most one per length
};

class CHttpSimpleResponseValidator : public CHttpResponseValidator
{
public:
    CHttpSimpleResponseValidator(int mode, const QByteArray& text);
    bool validateResponse(const char* data, size_t length) override;
    void reset() override;

private:
    QList<CHttpSimpleResponseValidatorElement> m_elements;
};

class CHttpCaseInsensResponseValidator : public CHttpResponseValidator
{
public:
    CHttpCaseInsensResponseValidator(int mode, const QByteArray& text);
    bool validateResponse(const char* data, size_t length) override;
    void reset() override;

private:
    QStringList m_alternatives;
    QByteArray m_tail;       // last bytes of the response, enough for the longest alternative
    int m_keepBytes = 0;
};

class CHttpRegexpResponseValidator : public CHttpResponseValidator
{
public:
    // The response a regular-expression rule keeps to judge at the end.
    static constexpr size_t kMaxResponseBytes = 8u * 1024u * 1024u;

    CHttpRegexpResponseValidator(int mode, const QByteArray& text);
    bool validateResponse(const char* data, size_t length) override;
    void reset() override;
    QString error() const override;

private:
    QList<QRegExp> m_expressions;
    QByteArray m_response;
    bool m_overflow = false;
};
