#pragma once
// Rule of regular expressions, judged on the whole response at the end (bounded).
// Owned by one CHttpRequest and fed by its task thread only; no locks.

#include "CHttpResponseValidator.h"

#include <QRegExp>

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
