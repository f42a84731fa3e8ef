// Reply lines of SMTP, POP3 and IMAP from arbitrary bytes: every reader must stay within the
// line, and the texts it hands out must keep their promised bounds.

#include "MailReply.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string line(reinterpret_cast<const char*>(data), size);
    using namespace MailReply;

    const SmtpLine smtp = parseSmtpLine(line);
    if (smtp.valid && (smtp.code < 0 || smtp.code > 999 || smtp.text.size() > line.size()))
        abort();
    bool plain = false;
    bool login = false;
    if (smtpAuthMechanisms(smtp, &plain, &login) && !smtp.valid)
        abort();

    const Pop3Status status = pop3Status(line);
    if ((status == Pop3Status::Empty) != line.empty())
        abort();
    const std::string pop3 = pop3ErrorText(line);
    // the server's text is cut to 127 bytes unless the whole line is the reason
    if (pop3 != line && pop3.size() > 127)
        abort();
    if (!line.empty() && pop3.empty())
        abort();

    const ImapLine imap = parseImapLine(line);
    if (imap.afterTag.size() > line.size() || imap.tag.size() > line.size())
        abort();
    if (imapSkipTag(line) != imap.afterTag)
        abort();
    const std::string reason = imapStatusReason(imap.afterTag);
    if (reason != imap.afterTag && reason.size() > 127)
        abort();
    return 0;
}
