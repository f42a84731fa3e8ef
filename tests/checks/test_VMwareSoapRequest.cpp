// SOAP requests of the VMware client: well-formed envelopes with the operation in its
// namespace, and values that carry markup arriving as the same text, never as elements.

#include "VMware/VMwareSoapRequest.h"

#include <gtest/gtest.h>

#include <QMap>
#include <QXmlStreamReader>

namespace {

struct Parsed
{
    bool wellFormed = false;
    QString operation, operationNs, thisType;
    QMap<QString, QString> texts;  // first text per local name
    int elements = 0;
};

Parsed parse(const QByteArray& request)
{
    Parsed p;
    QXmlStreamReader xml(request);
    bool inBody = false;
    QString current;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            ++p.elements;
            current = xml.name().toString();
            if (inBody && p.operation.isEmpty()) {
                p.operation = current;
                p.operationNs = xml.namespaceUri().toString();
            }
            if (current == QLatin1String("_this"))
                p.thisType = xml.attributes().value(QLatin1String("type")).toString();
            inBody = inBody || current == QLatin1String("Body");
            if (!p.texts.contains(current))
                p.texts.insert(current, QString());
        } else if (xml.isCharacters()) {
            p.texts[current] += xml.text();
        } else if (xml.isEndElement()) {
            current.clear();
        }
    }
    p.wellFormed = !xml.hasError();
    return p;
}

}  // namespace

TEST(VMwareSoapRequest, EveryOperationIsWellFormed)
{
    using namespace VMwareSoapRequest;
    struct Case
    {
        QByteArray request;
        const char* operation;
        const char* ns;
        const char* thisType;
        const char* field;
        const char* value;
    };
    const Case cases[] = {
        {retrieveServiceContent(), "RetrieveServiceContent", "urn:vim25", "ServiceInstance", "_this", "ServiceInstance"},
        {login("ha-sessionmgr", "root", "pw"), "Login", "urn:vim25", "SessionManager", "userName", "root"},
        {logout("ha-sessionmgr"), "Logout", "urn:vim25", "SessionManager", "_this", "ha-sessionmgr"},
        {createContainerView("ViewManager", "ha-folder-root"), "CreateContainerView", "urn:internalvim25", "ViewManager",
         "container", "ha-folder-root"},
        {createFilter("pc", "view-1", "ha-folder-root"), "CreateFilter", "urn:internalvim25", "PropertyCollector",
         "partialUpdates", "true"},
        {waitForUpdates("pc"), "WaitForUpdates", "urn:internalvim25", "PropertyCollector", "version", ""},
        {retrieveProperties("pc", VMwareVirtualMachine, "vm-1", "guest.disk"), "RetrieveProperties", "urn:internalvim25",
         "PropertyCollector", "pathSet", "guest.disk"},
        {queryPerf("ha-perfmgr", VMwareHostSystem, "ha-host", "65611", "datastore-1"), "QueryPerf", "urn:internalvim25",
         "PerformanceManager", "instance", "datastore-1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.operation);
        const Parsed p = parse(c.request);
        ASSERT_TRUE(p.wellFormed);
        EXPECT_EQ(p.operation, QLatin1String(c.operation));
        EXPECT_EQ(p.operationNs, QLatin1String(c.ns));
        EXPECT_EQ(p.thisType, QLatin1String(c.thisType));
        EXPECT_EQ(p.texts.value(QLatin1String(c.field)), QLatin1String(c.value));
    }
}

TEST(VMwareSoapRequest, ValuesCannotInjectElements)
{
    const QString user = QStringLiteral("root</ns0:userName><ns0:evil>1</ns0:evil><ns0:userName>");
    const QString password = QStringLiteral("p&ss<w>\"o'rd") + QChar(0xE9) + QChar(0x20AC);
    const Parsed clean = parse(VMwareSoapRequest::login("ha-sessionmgr", "u", "p"));
    const Parsed p = parse(VMwareSoapRequest::login("ha-sessionmgr", user, password));
    ASSERT_TRUE(p.wellFormed);
    EXPECT_EQ(p.elements, clean.elements);
    EXPECT_EQ(p.texts.value(QStringLiteral("userName")), user);
    EXPECT_EQ(p.texts.value(QStringLiteral("password")), password);

    // characters XML cannot carry are dropped rather than breaking the request
    const Parsed q = parse(VMwareSoapRequest::retrieveProperties("pc", VMwareDatastore, QStringLiteral("ds\x01-1"),
                                                                 QStringLiteral("summary.name")));
    ASSERT_TRUE(q.wellFormed);
    EXPECT_EQ(q.texts.value(QStringLiteral("obj")), QLatin1String("ds-1"));
}
