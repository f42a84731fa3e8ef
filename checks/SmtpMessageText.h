#pragma once
// Texts of one SMTP submission: the checks on header fields and body, address extraction, the
// encoded subject, the body in its wire form, and the Date and Message-ID header values.
// Pure functions (Date and Message-ID read the clock); any thread.

#include <cstddef>
#include <ctime>
#include <string>
#include <vector>

namespace SmtpMessageText {

// No byte below 32 (a header field or a protocol argument stays one line).
bool isPrintable(const char* text);
// Some byte of 0x80 or above.
bool isUtf8(const char* text);
// Only tab, LF, CR and bytes of 32 or above.
bool isPrintableBody(const char* bytes, size_t length);

// The first address at or behind from: the text around the first "@", between the delimiters
// tab, LF, CR, blank, ",", ";", "<" and ">". Empty when there is no "@". *next is where the
// search for the following address starts.
std::string emailAddress(const std::string& text, size_t from = 0, size_t* next = nullptr);
std::vector<std::string> emailAddressList(const std::string& text);

// Subject header text: 7-bit text as it is (at most 998 bytes), other text as RFC 2047
// "=?UTF-8?B?...?=" words of at most 42 (first) and 48 bytes of text, never splitting a UTF-8
// character, joined by "\r\n " (a folded header). False for a byte below 32.
bool encodeSubject(const std::string& text, std::string* out);

// Every line end as CR LF (a bare LF or a bare CR becomes CR LF).
std::string normalizeLineEnds(const std::string& body);
// The body as it goes after DATA: every line that starts with "." gets one more, so that no line
// of the content ends the message early.
std::string dotStuff(const std::string& body);

// "Mon, 01 Jan 2024 00:00:00 +0000" for the local time (English names whatever the locale).
std::string rfc5322Date(std::time_t when);
// "<UUID.yyyyMMddhhmmss@domain>" with the domain part of the From address; Latin-1, at most
// 255 bytes.
std::string messageId(const std::string& fromAddress);

} // namespace SmtpMessageText
