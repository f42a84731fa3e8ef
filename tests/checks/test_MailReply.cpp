// Reply lines of SMTP, POP3 and IMAP as the mail checks read them.

#include "MailReply.h"

#include <gtest/gtest.h>

using namespace MailReply;

TEST(MailReply, SmtpLinesEndTheReplyUnlessTheyContinue)
{
    struct Case {
        const char* line;
        bool valid;
        int code;
        bool last;
        const char* text;
    } cases[] = {
        {"250-mail.zam.test", true, 250, false, "mail.zam.test"},
        {"250 HELP", true, 250, true, "HELP"},
        {"250", true, 250, true, ""},  // a bare code is a last line too
        {"535 5.7.8 Authentication credentials invalid", true, 535, true, "5.7.8 Authentication credentials invalid"},
        {"25", false, 0, false, ""},
        {"250X", false, 250, false, ""},
        {"ABC hello", false, 0, false, ""},
        {"", false, 0, false, ""},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.line);
        const SmtpLine parsed = parseSmtpLine(k.line);
        EXPECT_EQ(parsed.valid, k.valid);
        if (k.valid) {
            EXPECT_EQ(parsed.code, k.code);
            EXPECT_EQ(parsed.last, k.last);
            EXPECT_EQ(parsed.text, k.text);
        }
    }
}

TEST(MailReply, AuthMechanismsOnAnyEhloLine)
{
    struct Case {
        const char* line;
        bool offered;
        bool plain;
        bool login;
    } cases[] = {
        {"250-AUTH LOGIN PLAIN", true, true, true},
        {"250 AUTH PLAIN", true, true, false},  // on the last line
        {"250-AUTH CRAM-MD5 LOGIN", true, false, true},
        {"250-AUTH=LOGIN", true, false, true},
        {"250-auth plain", true, true, false},
        {"250-AUTH XPLAIN LOGINX", true, false, false},  // whole words only
        {"250-AUTHX PLAIN", false, false, false},
        {"250-8BITMIME", false, false, false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.line);
        bool plain = false;
        bool login = false;
        EXPECT_EQ(smtpAuthMechanisms(parseSmtpLine(k.line), &plain, &login), k.offered);
        if (k.offered) {
            EXPECT_EQ(plain, k.plain);
            EXPECT_EQ(login, k.login);
        }
    }
}

TEST(MailReply, Pop3StatusAndRefusalText)
{
    EXPECT_EQ(pop3Status("+OK Dovecot ready."), Pop3Status::Ok);
    EXPECT_EQ(pop3Status("-ERR no"), Pop3Status::Error);
    EXPECT_EQ(pop3Status("* OK"), Pop3Status::Error);
    EXPECT_EQ(pop3Status(""), Pop3Status::Empty);

    struct Case {
        std::string line;
        std::string reason;
    } cases[] = {
        {"-ERR [AUTH] Authentication failed.  \t", "[AUTH] Authentication failed."},
        {"-ERR", "-ERR"},         // nothing behind it: the whole line
        {"-ERR    ", "-ERR    "},
        {"garbage", "garbage"},
        {"-ERR " + std::string(300, 'x'), std::string(127, 'x')},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.line.substr(0, 40));
        EXPECT_EQ(pop3ErrorText(k.line), k.reason);
    }
}

TEST(MailReply, ImapLinesAndStatusReasons)
{
    const ImapLine tagged = parseImapLine("a1 no [AUTHENTICATIONFAILED] Authentication failed.");
    EXPECT_EQ(tagged.tag, "a1");
    EXPECT_FALSE(tagged.untagged);
    EXPECT_EQ(tagged.status, "NO");
    EXPECT_EQ(tagged.afterTag, "no [AUTHENTICATIONFAILED] Authentication failed.");

    const ImapLine greeting = parseImapLine("* PREAUTH ready");
    EXPECT_TRUE(greeting.untagged);
    EXPECT_EQ(greeting.status, "PREAUTH");
    EXPECT_TRUE(parseImapLine("+ go ahead").continuation);
    EXPECT_EQ(imapSkipTag("*    OK  x"), "OK  x");
    EXPECT_EQ(imapSkipTag("single"), "");

    struct Case {
        std::string status;
        std::string reason;
    } cases[] = {
        {"NO Login failed.", " Login failed."},  // the blank after the word stays
        {"BAD Error in IMAP command \t ", " Error in IMAP command"},
        {"BYE shutting down", " shutting down"},
        {"NO", "NO"},
        {"NO    ", "NO    "},
        {"WHAT now", "WHAT now"},
        {"NO " + std::string(200, 'y'), " " + std::string(126, 'y')},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.status.substr(0, 40));
        EXPECT_EQ(imapStatusReason(k.status), k.reason);
    }
}
