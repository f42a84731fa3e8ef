#pragma once

#include <QString>

#include <stdexcept>

// The exception of the configuration model: a message, a numeric code and a detail text.
// A detail of the form "<fbe>N</fbe>text" from the database layer is split and its code
// reclassified.
class CDbException : public std::runtime_error
{
public:
    CDbException(const QString& message, int code, const QString& detail = QString());
    ~CDbException() override;

    int code() const { return m_code; }
    const QString& detail() const { return m_detail; }

private:
    int m_code;
    QString m_detail;
};
