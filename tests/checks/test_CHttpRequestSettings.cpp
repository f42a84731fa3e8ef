// Request settings (URL rules, versions, header list) and the pure head-line readers of the
// HTTP engine.

#include "CHttpRequestSettings.h"
#include "HttpStatusLine.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> headerList(const CHttpRequestSettings& s)
{
    std::vector<std::string> out;
    for (const curl_slist* h = s.customHeaders(); h; h = h->next)
        out.emplace_back(h->data);
    return out;
}

TEST(HttpRequestSettings, UrlTexts)
{
    struct Case {
        const char* text;
        const char* url;  // empty: refused
    } cases[] = {
        {"example.test/a", "http://example.test/a"},
        {"HTTPS://example.test", "https://example.test"},
        {"http://127.0.0.1:18701/", "http://127.0.0.1:18701/"},
        {"ftp://x", ""},
        {"", ""},
        {"http://", ""},
        {"gopher://example.test", ""},
    };
    for (const Case& c : cases) {
        CHttpRequestSettings s;
        EXPECT_EQ(s.setUrl(c.text), c.url[0] != '\0') << c.text;
        EXPECT_EQ(s.url().toString().toStdString(), c.url) << c.text;
    }
    CHttpRequestSettings s;
    ASSERT_TRUE(s.setUrl("http://kept.test/"));
    EXPECT_FALSE(s.setUrl("ftp://x"));
    EXPECT_EQ(s.url().toString(), QStringLiteral("http://kept.test/"));
}

TEST(HttpRequestSettings, VersionsMeasuresAndValidity)
{
    CHttpRequestSettings s;
    for (long v : {2L, 3L, 4L, 5L, 30L, 31L}) {
        EXPECT_TRUE(s.setHttpVersion(v));
        EXPECT_EQ(s.httpVersion(), static_cast<unsigned>(v));
    }
    EXPECT_TRUE(s.setHttpVersion(1));
    EXPECT_EQ(s.httpVersion(), 2u);
    for (long v : {0L, 6L, 29L, 32L, -1L})
        EXPECT_FALSE(s.setHttpVersion(v)) << v;
    EXPECT_EQ(s.httpVersion(), 2u);
    EXPECT_FALSE(s.setMeasureStart(3));
    EXPECT_FALSE(s.setMeasureFinish(2));
    EXPECT_FALSE(s.setProxyType(2));

    EXPECT_TRUE(s.setUrl("http://a.test/"));
    EXPECT_FALSE(s.isValid()) << "request type 0";
    s.setRequestType(RequestGet);
    EXPECT_TRUE(s.isValid());
    ASSERT_TRUE(s.setProxyType(1));
    EXPECT_FALSE(s.isValid()) << "proxy without its URL";
    EXPECT_FALSE(s.setProxyUrl("http://"));
    EXPECT_FALSE(s.setProxyUrl(""));
    EXPECT_TRUE(s.setProxyUrl("127.0.0.1:3128"));
    EXPECT_TRUE(s.isValid());
}

TEST(HttpRequestSettings, CustomHeaderLines)
{
    CHttpRequestSettings s;
    EXPECT_TRUE(s.setCustomHeaders("X-One: 1\n\nX-Empty:\nX-Two: a:b\r\n"));
    EXPECT_EQ(headerList(s), (std::vector<std::string>{"X-One: 1", "X-Empty;", "X-Two: a:b"}));
    EXPECT_FALSE(s.setCustomHeaders("X-Bad: a\rInjected: 1"));
    EXPECT_TRUE(headerList(s).empty());
    EXPECT_FALSE(s.setCustomHeaders(std::string("X-Bad: \x01").c_str()));
    EXPECT_TRUE(s.setCustomHeaders(""));
    EXPECT_TRUE(headerList(s).empty());
}

TEST(HttpStatusLine, Codes)
{
    struct Case {
        std::string line;
        unsigned long code;
        bool icy;
    } cases[] = {
        {"HTTP/1.1 200 OK\r\n", 200, false},
        {"HTTP/2 404\r\n", 404, false},
        {"ICY 200 OK\r\n", 200, true},
        {"HTTP/1.1\r\n", 0, false},
        {"HTTP/1.1 abc\r\n", 0, false},
        {"HTTP/1.1   302 Found", 302, false},
        {"HTTP/1.1 99999999999999999999", 999999999, false},
        {"IC", 0, false},
        {"", 0, false},
    };
    for (const Case& c : cases) {
        bool icy = !c.icy;
        EXPECT_EQ(parseHttpStatusLine(c.line.data(), c.line.size(), &icy), c.code) << c.line;
        EXPECT_EQ(icy, c.icy) << c.line;
    }
    EXPECT_TRUE(isIcyHeaderLine("icy-name: x\r\n", 13));
    EXPECT_FALSE(isIcyHeaderLine("ICY-name: x\r\n", 13));
    EXPECT_FALSE(isIcyHeaderLine("icy", 3));
}

TEST(HttpStatusLine, CurlTimeouts)
{
    struct Case {
        int ms;
        bool discovery;
        long total;
        long connect;
    } cases[] = {
        {500, false, 2, 2}, {2500, false, 3, 3}, {10000, false, 10, 10},
        {10000, true, 10, 2}, {0, false, 2, 2}, {2000, false, 2, 2},
    };
    for (const Case& c : cases) {
        long total = 0;
        long connect = 0;
        httpCurlTimeouts(c.ms, c.discovery, &total, &connect);
        EXPECT_EQ(total, c.total) << c.ms;
        EXPECT_EQ(connect, c.connect) << c.ms;
    }
}

}  // namespace
