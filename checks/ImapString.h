#pragma once
// Arguments and tags of IMAP commands: RFC 3501 quoted strings, and when a text cannot be one
// (8-bit bytes), a literal. Pure functions; any thread.

#include <string>

namespace ImapString {

// 7-bit text without CR, LF and NUL: it can go as a quoted string.
bool fitsQuoted(const std::string& text);
// The text between double quotes, with every "\" and """ escaped by a "\".
std::string quoted(const std::string& text);
// "{n}" announcing a literal of the text's length.
std::string literalPrefix(const std::string& text);
// Command tag of the counter: "a" and the counter in base 36 with lower-case digits (a0, a1,
// ... a9, aa, ...), at most 6 digits.
std::string tag(unsigned counter);

} // namespace ImapString
