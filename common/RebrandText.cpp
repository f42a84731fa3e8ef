#include "RebrandText.h"

#include "ProductDomains.h"

#include <QRegularExpression>

namespace {

// Case of the current name following the matched text: all lower -> "corvane", all upper ->
// "CORVANE", anything else -> "Corvane".
QString currentNameInCaseOf(const QString& matched)
{
    if (matched == matched.toLower())
        return QStringLiteral("corvane");
    if (matched == matched.toUpper())
        return QStringLiteral("CORVANE");
    return QStringLiteral("Corvane");
}

QString replaceFullName(const QString& text)
{
    static const QRegularExpression fullName(QStringLiteral("tolmar\\s*network\\b"),
                                             QRegularExpression::CaseInsensitiveOption);
    QString out;
    int last = 0;
    QRegularExpressionMatchIterator it = fullName.globalMatch(text);
    if (!it.hasNext())
        return text;
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        out += text.midRef(last, m.capturedStart() - last);
        out += currentNameInCaseOf(m.captured());
        last = m.capturedEnd();
    }
    out += text.midRef(last);
    return out;
}

} // namespace

QString rebrandDomain(const QString& text)
{
    static const QRegularExpression domain(
        QStringLiteral("\\b%1\\b").arg(QRegularExpression::escape(QLatin1String(ProductDomains::kFormerWebDomain))));
    QString out = text;
    out.replace(domain, QLatin1String(ProductDomains::kCurrentWebDomain));
    return out;
}

QString rebrandText(const QString& text)
{
    static const QRegularExpression lowerProduct(QStringLiteral("tolmar(\\s*)(monitor|agent)"));
    static const QRegularExpression anyProduct(QStringLiteral("tolmar(\\s*)(monitor|agent)"),
                                               QRegularExpression::CaseInsensitiveOption);
    // A blank inside the abbreviation would be written as "\\s+".
    static const QRegularExpression abbreviation(QStringLiteral("\\b%1\\b").arg(QStringLiteral("Vekt")),
                                                 QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression lowerName(QStringLiteral("tolmar"));
    static const QRegularExpression anyName(QStringLiteral("tolmar"), QRegularExpression::CaseInsensitiveOption);

    // The full name goes first so that it collapses to the current name instead of leaving
    // "network" behind; each lower-case step runs before its any-case twin to keep lower case.
    QString out = replaceFullName(rebrandDomain(text));
    out.replace(lowerProduct, QStringLiteral("corvane\\1\\2"));
    out.replace(anyProduct, QStringLiteral("Corvane\\1\\2"));
    out.replace(abbreviation, QStringLiteral("Drel"));
    out.replace(lowerName, QStringLiteral("corvane"));
    out.replace(anyName, QStringLiteral("Corvane"));
    return out;
}
