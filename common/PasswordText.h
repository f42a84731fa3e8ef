#pragma once

#include <QString>

// Stored form of password texts: the lower-case hexadecimal text of the UTF-16LE bytes, or
// ":" followed by the plain text. This form is reversible and gives no secrecy; it only keeps
// texts free of special characters. Pure functions.

// "$AdminPassword" is stored plain (":$AdminPassword"); any other text as hexadecimal.
bool encodePasswordText(const QString& text, QString* stored);

// Hexadecimal pairs decode to UTF-16LE (an odd trailing byte is ignored); ":text" gives text;
// anything else passes through. The context is not used.
bool decodePasswordText(const QString& stored, QString* text, const void* context = nullptr);
