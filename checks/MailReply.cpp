#include "MailReply.h"

#include <cctype>
#include <cstring>

namespace MailReply {

namespace {

constexpr size_t kReasonMax = 127;

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// Text from pos to the end of the line (NUL, CR or LF), at most kReasonMax bytes, trailing
// blanks and tabs removed.
std::string reasonFrom(const std::string& line, size_t pos)
{
    std::string out;
    for (size_t i = pos; i < line.size() && out.size() < kReasonMax; ++i) {
        const char c = line[i];
        if (c == '\0' || c == '\r' || c == '\n')
            break;
        out += c;
    }
    while (!out.empty() && isBlank(out.back()))
        out.pop_back();
    return out;
}

bool onlyBlanks(const std::string& text)
{
    for (char c : text)
        if (!isBlank(c))
            return false;
    return true;
}

// The first word of text and where the text behind it starts.
std::string firstWord(const std::string& text, size_t* end)
{
    size_t i = 0;
    while (i < text.size() && text[i] != ' ' && text[i] != '\t')
        ++i;
    *end = i;
    return text.substr(0, i);
}

bool hasWord(const std::string& list, const char* word)
{
    size_t i = 0;
    while (i < list.size()) {
        while (i < list.size() && (list[i] == ' ' || list[i] == '\t' || list[i] == '='))
            ++i;
        size_t j = i;
        while (j < list.size() && list[j] != ' ' && list[j] != '\t')
            ++j;
        if (j > i && upper(list.substr(i, j - i)) == word)
            return true;
        i = j;
    }
    return false;
}

} // namespace

SmtpLine parseSmtpLine(const std::string& line)
{
    SmtpLine out;
    if (line.size() < 3 || !isDigit(line[0]) || !isDigit(line[1]) || !isDigit(line[2]))
        return out;
    out.code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
    if (line.size() == 3) {
        out.valid = true;
        out.last = true;
        return out;
    }
    const char sep = line[3];
    if (sep != ' ' && sep != '-' && sep != '\r' && sep != '\t')
        return out;
    out.valid = true;
    out.last = sep != '-';
    out.text = line.substr(4);
    return out;
}

bool smtpAuthMechanisms(const SmtpLine& line, bool* plain, bool* login)
{
    if (!line.valid || line.text.size() < 4 || upper(line.text.substr(0, 4)) != "AUTH")
        return false;
    if (line.text.size() > 4 && line.text[4] != ' ' && line.text[4] != '=' && line.text[4] != '\t')
        return false;
    const std::string list = line.text.substr(4);
    *plain = hasWord(list, "PLAIN");
    *login = hasWord(list, "LOGIN");
    return true;
}

Pop3Status pop3Status(const std::string& line)
{
    if (line.empty())
        return Pop3Status::Empty;
    return line.compare(0, 3, "+OK") == 0 ? Pop3Status::Ok : Pop3Status::Error;
}

std::string pop3ErrorText(const std::string& line)
{
    if (line.compare(0, 4, "-ERR") != 0)
        return line;
    const std::string text = line.size() > 5 ? reasonFrom(line, 5) : std::string();
    return text.empty() ? line : text;
}

std::string imapSkipTag(const std::string& line)
{
    size_t i = 0;
    firstWord(line, &i);
    while (i < line.size() && isBlank(line[i]))
        ++i;
    return line.substr(i);
}

ImapLine parseImapLine(const std::string& line)
{
    ImapLine out;
    size_t end = 0;
    out.tag = firstWord(line, &end);
    out.untagged = out.tag == "*";
    out.continuation = !line.empty() && line[0] == '+';
    out.afterTag = imapSkipTag(line);
    out.status = firstWord(out.afterTag, &end);
    const std::string up = upper(out.status);
    if (isImapStatus(up) || up == "PREAUTH")
        out.status = up;
    return out;
}

bool isImapStatus(const std::string& word)
{
    const std::string up = upper(word);
    return up == "OK" || up == "NO" || up == "BAD" || up == "BYE";
}

std::string imapStatusReason(const std::string& statusText)
{
    size_t end = 0;
    const std::string word = firstWord(statusText, &end);
    if (!isImapStatus(word))
        return statusText;
    const std::string message = reasonFrom(statusText, word.size());
    return message.empty() || onlyBlanks(message) ? statusText : message;
}

} // namespace MailReply
