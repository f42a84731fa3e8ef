#include "common/ProductDomains.h"
#include "common/RebrandText.h"

#include <gtest/gtest.h>

namespace {

const QString kOld = QLatin1String(ProductDomains::kFormerWebDomain);
const QString kNew = QLatin1String(ProductDomains::kCurrentWebDomain);

} // namespace

TEST(RebrandText, RewritesFormerNamesInOrderAndCase)
{
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        // nothing to do
        {"", ""},
        {"Network Monitor Agent started", "Network Monitor Agent started"},
        // full former name collapses to the current one, keeping its case
        {"Tolmar Network", "Corvane"},
        {"tolmar network", "corvane"},
        {"TOLMAR NETWORK", "CORVANE"},
        {"TolmarNetwork 5", "Corvane 5"},
        {"tOLMAR\tnetwork!", "Corvane!"},
        {"Tolmar Networks", "Corvane Networks"},   // not the word network
        // product words keep lower case only when the text was lower case
        {"tolmar monitor", "corvane monitor"},
        {"tolmar  agent", "corvane  agent"},
        {"Tolmar Monitor", "Corvane Monitor"},
        {"TOLMAR AGENT", "Corvane AGENT"},
        {"TolmarAgent", "CorvaneAgent"},
        // the abbreviation only as a whole word, any case
        {"Vekt 4.2", "Drel 4.2"},
        {"vekt, VEKT", "Drel, Drel"},
        {"Vektor", "Vektor"},
        {"xvekt", "xvekt"},
        // the bare name anywhere, also inside longer words
        {"tolmar", "corvane"},
        {"Tolmar", "Corvane"},
        {"TOLMAR", "Corvane"},
        {"mytolmarapp", "mycorvaneapp"},
        {"MyTolmarApp", "MyCorvaneApp"},
        // every step in one text; characters around matches stay
        {"[tolmar network] (Tolmar Agent) Vekt; tolmar-x", "[corvane] (Corvane Agent) Drel; corvane-x"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(rebrandText(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;
}

TEST(RebrandText, DomainIsReplacedAsAWholeWordCaseSensitively)
{
    const QString upper = kOld.toUpper();
    struct Case {
        QString in;
        QString out;
    } cases[] = {
        {"https://www." + kOld + "/help", "https://www." + kNew + "/help"},
        {kOld, kNew},
        {"support@" + kOld + ", " + kOld, "support@" + kNew + ", " + kNew},
        {"x" + kOld, "x" + kOld},                   // no word boundary in front
        {kOld + "x", kOld + "x"},                   // none behind
        {upper, upper},                             // case-sensitive
    };
    for (const Case& c : cases)
        EXPECT_EQ(rebrandDomain(c.in), c.out) << c.in.toStdString();

    // rebrandText does the domain first; the name steps then see the current domain only.
    EXPECT_EQ(rebrandText("see www." + kOld), "see www." + kNew);
    const QString text = QStringLiteral("unchanged");
    EXPECT_EQ(rebrandDomain(text), text);
}
