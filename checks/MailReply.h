#pragma once
// Reading of the reply lines of the mail protocols (SMTP, POP3, IMAP) and of the texts the
// checks take from them. Pure functions on one line of text (without its line end); no I/O, no
// state, any thread.

#include <string>

namespace MailReply {

// One SMTP reply line: "ddd" followed by the end, a blank or "-" (a continuation line).
struct SmtpLine {
    bool valid = false;  // three digits and a known separator
    int code = 0;
    bool last = false;   // no "-" after the code: the reply ends with this line
    std::string text;    // after the separator
};
SmtpLine parseSmtpLine(const std::string& line);

// The mechanisms of an EHLO line that offers AUTH ("AUTH PLAIN LOGIN" or the old
// "AUTH=LOGIN"); false when the line offers no AUTH at all.
bool smtpAuthMechanisms(const SmtpLine& line, bool* plain, bool* login);

enum class Pop3Status { Ok, Error, Empty };
Pop3Status pop3Status(const std::string& line);
// The reason of a refusal: the text after "-ERR" and one separator, at most 127 bytes, trailing
// blanks and tabs removed; the whole line when that is empty or the line is no "-ERR" reply.
std::string pop3ErrorText(const std::string& line);

// The part of a line behind its first word and the blanks after it (the status word and text
// of an untagged "* OK ..." or of a tagged "a1 OK ..." line); empty for a single word.
std::string imapSkipTag(const std::string& line);

struct ImapLine {
    bool untagged = false;      // "*"
    bool continuation = false;  // "+"
    std::string tag;            // the first word
    std::string status;         // "OK", "NO", "BAD", "BYE", "PREAUTH", ... upper case; else as sent
    std::string afterTag;       // imapSkipTag of the line
};
ImapLine parseImapLine(const std::string& line);
bool isImapStatus(const std::string& word);  // OK, NO, BAD, BYE (any case)

// The reason for a status line that is not the one expected: the message behind the status
// word (the blank after it kept), at most 127 bytes, trailing blanks and tabs removed; the whole
// status text when that message is empty or the status word is none of OK, NO, BAD, BYE.
std::string imapStatusReason(const std::string& statusText);

} // namespace MailReply
