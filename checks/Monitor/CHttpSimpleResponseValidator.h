#pragma once
// Rule of plain alternatives, matched byte for byte while the response streams in.
// Owned by one CHttpRequest and fed by its task thread only; no locks.

#include "CHttpResponseValidator.h"

#include <vector>

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
