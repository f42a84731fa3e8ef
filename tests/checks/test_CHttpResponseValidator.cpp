// Expected-response rules fed in chunks, the way the HTTP engine hands the response over.

#include "CHttpCaseInsensResponseValidator.h"
#include "CHttpRegexpResponseValidator.h"
#include "CHttpRequest.h"
#include "CHttpResponseValidator.h"
#include "CHttpSimpleResponseValidator.h"
#include "zam_plugin_api.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// Feeds `parts` in order, then the final call; answers isOk().
bool judge(int flags, const std::string& rule, const std::vector<std::string>& parts)
{
    std::unique_ptr<CHttpResponseValidator> v(CHttpResponseValidator::create(flags, QByteArray::fromStdString(rule)));
    for (const std::string& p : parts)
        EXPECT_TRUE(v->validateResponse(p.data(), p.size()));
    v->validateResponse(nullptr, 0);
    return v->isOk();
}

// The text cut into chunks of `size` bytes.
std::vector<std::string> chunks(const std::string& text, size_t size)
{
    std::vector<std::string> out;
    for (size_t i = 0; i < text.size(); i += size)
        out.push_back(text.substr(i, size));
    return out;
}

const std::string kNbsp = "\xC2\xA0";

TEST(HttpResponseValidator, RulesOverChunkSplits)
{
    const std::string page = "HTTP/1.1 200 OK\r\nServer: nginx\r\n\r\n<html>Welcome to Zürich, alpha-beta</html>";
    struct Case {
        const char* name;
        int flags;
        std::string rule;
        bool ok;
    } cases[] = {
        {"inactive rule holds whatever comes", 0x00, "absent", true},
        {"simple found", 0x01, "alpha-beta", true},
        {"simple missing", 0x01, "gamma", false},
        {"inverted, word absent", 0x05, "error", true},
        {"inverted, word present", 0x05, "Welcome", false},
        {"no case, capitals", 0x09, "WELCOME TO", true},
        {"no case, missing", 0x09, "GAMMA", false},
        {"alternatives, second holds", 0x01, "gamma" + kNbsp + "alpha", true},
        {"alternatives, none holds", 0x01, "gamma" + kNbsp + "delta", false},
        {"no case alternatives", 0x09, "GAMMA" + kNbsp + "ZÜRICH", true},
        {"non-ASCII simple", 0x01, "Zürich", true},
        {"regex anchored at the status line", 0x11, "^HTTP/1\\.1 200", true},
        {"regex not at the start", 0x11, "^Server", false},
        {"regex across lines", 0x11, "nginx.*Welcome", true},
        {"regex no case", 0x19, "WELCOME\\s+TO", true},
        {"regex inverted", 0x15, "error|fail", true},
        {"empty pattern matches", 0x01, "", true},
    };
    for (const Case& c : cases) {
        for (size_t size : {1u, 2u, 3u, 5u, 7u, 11u, 64u, 1000u}) {
            EXPECT_EQ(judge(c.flags, c.rule, chunks(page, size)), c.ok) << c.name << ", chunks of " << size;
        }
    }
}

TEST(HttpResponseValidator, SixBytePatternSplitThreePlusThree)
{
    // "abcdef" split as "abc" ending a chunk and "def" starting the next one.
    const std::string five = "xxabc";
    const std::string eleven = "xxxxxxxxabc";
    EXPECT_TRUE(judge(0x01, "abcdef", {five, "defyy"}));
    EXPECT_TRUE(judge(0x01, "abcdef", {eleven, "defyy"}));
    // A prefix carried through a chunk shorter than what is still missing.
    EXPECT_TRUE(judge(0x01, "abcdef", {"xa", "b", "cd", "efz"}));
    EXPECT_FALSE(judge(0x01, "abcdef", {"xxabc", "dxf"}));
    // Overlapping prefixes: "aab" must still be found after "aa" + "aab".
    EXPECT_TRUE(judge(0x01, "aab", {"xa", "a", "ab"}));
}

TEST(HttpResponseValidator, MultibyteCharacterSplitBetweenChunks)
{
    // "ü" is C3 BC: every cut through the text, the cut inside the character included.
    const std::string text = "xx Zürich yy";
    for (size_t cut = 1; cut < text.size(); ++cut) {
        const std::vector<std::string> parts = {text.substr(0, cut), text.substr(cut)};
        EXPECT_TRUE(judge(0x09, "ZÜRICH", parts)) << "no case, cut " << cut;
        EXPECT_TRUE(judge(0x01, "Zürich", parts)) << "simple, cut " << cut;
        EXPECT_TRUE(judge(0x11, "Z.rich", parts)) << "regex, cut " << cut;
    }
}

TEST(HttpResponseValidator, ResetForgetsFoundAndPartialMatches)
{
    std::unique_ptr<CHttpResponseValidator> v(CHttpResponseValidator::create(0x01, "abcdef"));
    v->validateResponse("xxabc", 5);
    v->reset();
    v->validateResponse("defxx", 5);
    v->validateResponse(nullptr, 0);
    EXPECT_FALSE(v->isOk());
    v->validateResponse("abcdef", 6);
    EXPECT_TRUE(v->isOk());
    v->reset();
    EXPECT_FALSE(v->isOk());
}

TEST(HttpResponseValidator, RequestMakesOneValidatorPerRuleByItsFlags)
{
    struct Case {
        int flags;
        const char* kind;
    } cases[] = {
        {0x00, "null"}, {0x1C, "null"}, {0x01, "simple"}, {0x05, "simple"},
        {0x09, "nocase"}, {0x11, "regexp"}, {0x19, "regexp"},
    };
    for (const Case& c : cases) {
        std::unique_ptr<CHttpResponseValidator> v(CHttpRequest::createValidator(c.flags, "x"));
        const char* kind = dynamic_cast<CHttpNullResponseValidator*>(v.get())         ? "null"
                           : dynamic_cast<CHttpSimpleResponseValidator*>(v.get())     ? "simple"
                           : dynamic_cast<CHttpCaseInsensResponseValidator*>(v.get()) ? "nocase"
                           : dynamic_cast<CHttpRegexpResponseValidator*>(v.get())     ? "regexp"
                                                                                      : "?";
        EXPECT_STREQ(kind, c.kind) << c.flags;
        EXPECT_EQ(v->mode(), c.flags);
    }
    char reason[64] = {};
    CHttpRequest request(reason, sizeof reason, nullptr, nullptr);
    const stZamResponseValidationInfo rules[] = {{0x01, 0, "absent"}, {0x00, 0, nullptr}, {0x05, 0, "absent"}};
    request.setRespValidators(QList<stZamResponseValidationInfo>{rules[0], rules[1], rules[2]});
    EXPECT_EQ(request.respValidationResult(), (QList<bool>{false, true, true})) << "in rule order";
    EXPECT_EQ(request.steelAlive(), 0) << "no callback";
    int calls = 0;
    CHttpRequest alive(nullptr, 0, [](void* n) { return ++*static_cast<int*>(n) + 6; }, &calls);
    EXPECT_EQ(alive.steelAlive(), 7);
    EXPECT_EQ(calls, 1);
}

TEST(HttpResponseValidator, RegexRuleStopsAtItsSizeLimit)
{
    std::unique_ptr<CHttpResponseValidator> v(CHttpResponseValidator::create(0x11, "end"));
    const std::string mib(1024 * 1024, 'a');
    size_t fed = 0;
    bool accepted = true;
    while (accepted && fed < 3 * CHttpRegexpResponseValidator::kMaxResponseBytes) {
        accepted = v->validateResponse(mib.data(), mib.size());
        fed += mib.size();
    }
    EXPECT_FALSE(accepted);
    EXPECT_EQ(fed, CHttpRegexpResponseValidator::kMaxResponseBytes + mib.size());
    EXPECT_FALSE(v->error().isEmpty());
    EXPECT_FALSE(v->isOk());
    v->reset();
    EXPECT_TRUE(v->error().isEmpty());
    EXPECT_TRUE(v->validateResponse("the end", 7));
    v->validateResponse(nullptr, 0);
    EXPECT_TRUE(v->isOk());
}

}  // namespace
