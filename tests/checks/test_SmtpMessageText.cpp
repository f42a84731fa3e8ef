// Texts of an SMTP submission (addresses, subject, body, Date, Message-ID), Base64 and the IMAP
// command arguments.

#include "Base64.h"
#include "ImapString.h"
#include "SmtpMessageText.h"

#include <QByteArray>
#include <QDateTime>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

using namespace SmtpMessageText;

TEST(Base64, EncodesWithPadding)
{
    struct Case {
        std::string in;
        std::string out;
    } cases[] = {
        {"", ""}, {"a", "YQ=="}, {"ab", "YWI="}, {"abc", "YWJj"}, {std::string("\0u\0p", 4), "AHUAcA=="},
    };
    for (const Case& k : cases) {
        EXPECT_EQ(base64Encode(k.in), k.out);
        std::unique_ptr<char[]> c(base64_encode(k.in.data(), k.in.size()));
        EXPECT_STREQ(c.get(), k.out.c_str());
    }
    EXPECT_EQ(base64_encode(nullptr, 3), nullptr);
    // every byte value round-trips through Qt's decoder
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    EXPECT_EQ(QByteArray::fromBase64(QByteArray::fromStdString(base64Encode(all))).toStdString(), all);
}

TEST(SmtpMessageText, AddressesAreTakenBetweenDelimiters)
{
    EXPECT_EQ(emailAddress("Zam Test <zamtest@zam.test>"), "zamtest@zam.test");
    EXPECT_EQ(emailAddress("no address here"), "");
    EXPECT_EQ(emailAddressList("a@x.test, Bob <b@y.test>;c@z.test"),
              (std::vector<std::string>{"a@x.test", "b@y.test", "c@z.test"}));
    EXPECT_EQ(emailAddressList("a@x.test,,  "), (std::vector<std::string>{"a@x.test"}));
    EXPECT_TRUE(emailAddressList("").empty());
}

TEST(SmtpMessageText, SubjectIsKeptOrEncodedInWholeCharacters)
{
    std::string out;
    ASSERT_TRUE(encodeSubject("SMTP server check", &out));
    EXPECT_EQ(out, "SMTP server check");
    ASSERT_TRUE(encodeSubject(std::string(1200, 's'), &out));
    EXPECT_EQ(out.size(), 998u);
    EXPECT_FALSE(encodeSubject("two\r\nlines", &out));
    EXPECT_FALSE(encodeSubject("tab\there", &out));

    // 40 ASCII bytes, then two-byte letters: the first word must not split one of them
    const std::string text = std::string(41, 'a') + "\xc3\xa9\xc3\xa9 Gr\xc3\xbc\xc3\x9f" "e aus K\xc3\xb6ln " +
                             std::string(60, 'z') + "\xe2\x82\xac";
    ASSERT_TRUE(encodeSubject(text, &out));
    const QStringList words = QString::fromStdString(out).split(QStringLiteral("\r\n "));
    ASSERT_GE(words.size(), 3);
    QByteArray decoded;
    for (int i = 0; i < words.size(); ++i) {
        const QString& w = words[i];
        ASSERT_TRUE(w.startsWith(QLatin1String("=?UTF-8?B?")) && w.endsWith(QLatin1String("?="))) << w.toStdString();
        EXPECT_LE(w.size() + 1, 78);
        const QByteArray part = QByteArray::fromBase64(w.mid(10, w.size() - 12).toLatin1());
        EXPECT_LE(part.size(), i == 0 ? 42 : 48);
        EXPECT_TRUE(QString::fromUtf8(part).toUtf8() == part) << "word " << i << " splits a character";
        decoded += part;
    }
    EXPECT_EQ(decoded.toStdString(), text);
}

TEST(SmtpMessageText, BodyLineEndsAndDotStuffing)
{
    EXPECT_EQ(normalizeLineEnds("a\nb\r\nc\rd"), "a\r\nb\r\nc\r\nd");
    EXPECT_EQ(dotStuff(".first\r\nmid\r\n.\r\n..two\r\nlast."), "..first\r\nmid\r\n..\r\n...two\r\nlast.");
    EXPECT_TRUE(isPrintableBody("tab\tand\r\nline", 13));
    EXPECT_FALSE(isPrintableBody("bell\a", 5));
    EXPECT_FALSE(isPrintable("x\ny"));
    EXPECT_TRUE(isUtf8("K\xc3\xb6ln"));
    EXPECT_FALSE(isUtf8("Koeln"));
}

TEST(SmtpMessageText, DateAndMessageIdHeaders)
{
    // English names whatever the locale, and the value reads back as the same instant
    const std::time_t when = 1704067200 + 3600 * 5 + 17;
    const std::string date = rfc5322Date(when);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^(Mon|Tue|Wed|Thu|Fri|Sat|Sun), \\d\\d "
                                                  "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) \\d{4} "
                                                  "\\d\\d:\\d\\d:\\d\\d [+-]\\d{4}$"))
                    .match(QString::fromStdString(date))
                    .hasMatch())
        << date;
    const QDateTime parsed = QDateTime::fromString(QString::fromStdString(date), Qt::RFC2822Date);
    ASSERT_TRUE(parsed.isValid()) << date;
    EXPECT_EQ(parsed.toSecsSinceEpoch(), when);

    const std::string id = messageId("zamtest@zam.test");
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^<[0-9A-F]{32}\\.\\d{14}@zam\\.test>$"))
                    .match(QString::fromStdString(id))
                    .hasMatch())
        << id;
    EXPECT_NE(messageId("zamtest@zam.test"), id);
    EXPECT_LE(messageId("x@" + std::string(400, 'd')).size(), 255u);
}

TEST(ImapString, QuotedStringsLiteralsAndTags)
{
    EXPECT_EQ(ImapString::quoted("pa ss\"[x]\\"), "\"pa ss\\\"[x]\\\\\"");
    EXPECT_EQ(ImapString::quoted(""), "\"\"");
    EXPECT_TRUE(ImapString::fitsQuoted("pa ss\"[x]"));
    EXPECT_FALSE(ImapString::fitsQuoted("K\xc3\xb6ln"));
    EXPECT_FALSE(ImapString::fitsQuoted("a\r\nb"));
    EXPECT_EQ(ImapString::literalPrefix("K\xc3\xb6ln"), "{5}");
    EXPECT_EQ(ImapString::tag(0), "a0");
    EXPECT_EQ(ImapString::tag(9), "a9");
    EXPECT_EQ(ImapString::tag(10), "aa");
    EXPECT_EQ(ImapString::tag(36), "a10");
    EXPECT_LE(ImapString::tag(4000000000u).size(), 7u);
}
