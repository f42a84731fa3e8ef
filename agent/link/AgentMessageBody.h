#pragma once

#include <QByteArray>
#include <QString>

#include <map>

// Pure functions over the text body of an agent-link frame: "key=value" pairs joined
// by ",", numbers in decimal, byte values as RAW(count,bytes).

struct AgentRawSpan
{
    int position = 0;  // offset of the first value byte inside the body
    int count = 0;     // number of value bytes
};

struct AgentBodyParts
{
    std::map<QByteArray, double> numbers;
    std::map<QByteArray, AgentRawSpan> raws;
};

// Splits a body into its numbers and raw values. Returns false on a malformed body
// (parts then holds whatever was read before the fault). Every raw span returned lies
// inside the body.
bool splitAgentMessageBody(const char* body, int length, AgentBodyParts& parts);

// Strict decimal number: optional sign, digits with an optional decimal point, an
// optional exponent; no blanks, no "nan" or "inf"; the result must be finite.
bool parseAgentNumber(const char* text, int length, double& value);

// A body quoted for a log line: up to its first zero byte, cut to maxBytes, decoded
// as UTF-8, control characters escaped, "..." appended when cut.
QString quoteBodyForLog(const char* body, int length, int maxBytes = 256);
