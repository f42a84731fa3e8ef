#pragma once
// Rule of alternatives matched without regard to case across chunks.
// Owned by one CHttpRequest and fed by its task thread only; no locks.

#include "CHttpResponseValidator.h"

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
