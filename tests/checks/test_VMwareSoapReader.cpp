// Readers of ESXi SOAP answers: each value read the same from compact and indented documents,
// faults and malformed documents told apart, and nothing taken from a broken document.

#include "VMware/VMwareSoapReader.h"

#include <gtest/gtest.h>

namespace {

QByteArray envelope(const char* body)
{
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                      "<soapenv:Envelope xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\" "
                      "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"><soapenv:Body>")
        + body + "</soapenv:Body></soapenv:Envelope>";
}

const char kPerfCompact[] =
    "<QueryPerfResponse xmlns=\"urn:vim25\"><returnval xsi:type=\"PerfEntityMetric\">"
    "<entity type=\"HostSystem\">ha-host</entity><sampleInfo><timestamp>2024-05-01T10:00:00Z</timestamp>"
    "<interval>20</interval></sampleInfo><value xsi:type=\"PerfMetricIntSeries\"><id><counterId>1</counterId>"
    "<instance></instance></id><value>2345</value></value></returnval></QueryPerfResponse>";

const char kPerfIndented[] =
    "\n  <QueryPerfResponse xmlns=\"urn:vim25\">\n    <returnval xsi:type=\"PerfEntityMetric\">\n"
    "      <entity type=\"HostSystem\">ha-host</entity>\n      <sampleInfo>\n"
    "        <timestamp>2024-05-01T10:00:00Z</timestamp>\n        <interval>20</interval>\n      </sampleInfo>\n"
    "      <value xsi:type=\"PerfMetricIntSeries\">\n        <id>\n          <counterId>1</counterId>\n"
    "          <instance></instance>\n        </id>\n        <value> 2345 </value>\n      </value>\n"
    "    </returnval>\n  </QueryPerfResponse>\n";

const char kObjects[] =
    "<WaitForUpdatesResponse xmlns=\"urn:vim25\"><returnval><version>1</version><filterSet>"
    "<objectSet><obj type=\"Folder\">ha-folder-root</obj><changeSet><val>ha-folder-root</val></changeSet></objectSet>"
    "<objectSet><obj type=\"VirtualMachine\">vm-1</obj><changeSet><name>name</name>"
    "<val xsi:type=\"xsd:string\">web &amp; db</val></changeSet></objectSet>\n"
    "  <objectSet>\n    <obj type=\"VirtualMachine\">vm-2</obj>\n    <changeSet>\n"
    "      <val xsi:type=\"xsd:string\">vm2</val>\n    </changeSet>\n  </objectSet>"
    "<objectSet><obj type=\"HostSystem\">ha-host</obj><changeSet><val>esx1</val></changeSet></objectSet>"
    "</filterSet></returnval></WaitForUpdatesResponse>";

const char kFault11[] =
    "<soapenv:Fault><faultcode>ServerFaultCode</faultcode><faultstring>Cannot complete login due to an "
    "incorrect user name or password.</faultstring></soapenv:Fault>";

}  // namespace

TEST(VMwareSoapReader, PerfValueIsTheInnermostText)
{
    struct Case
    {
        const char* label;
        QByteArray answer;
        const char* value;
    };
    const Case cases[] = {
        {"compact", envelope(kPerfCompact), "2345"},
        {"indented", envelope(kPerfIndented), "2345"},
        {"no sample", envelope("<QueryPerfResponse xmlns=\"urn:vim25\"/>"), ""},
        {"blank sample", envelope("<r><value>\n  </value></r>"), ""},
        {"first of a series", envelope("<r><value><value>7</value><value>9</value></value></r>"), "7"},
        {"CDATA", envelope("<r><value><![CDATA[12]]></value></r>"), "12"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        QString value;
        EXPECT_EQ(VMwareSoapReader::readPerfValue(c.answer, value, nullptr), VMwareSoapReader::Ok);
        EXPECT_EQ(value, QLatin1String(c.value));
    }
}

TEST(VMwareSoapReader, FaultsAndBrokenDocuments)
{
    struct Case
    {
        const char* label;
        QByteArray answer;
        VMwareSoapReader::Status status;
        const char* fault;
    };
    const QByteArray perf = envelope(kPerfCompact);
    const Case cases[] = {
        {"SOAP 1.1 fault", envelope(kFault11), VMwareSoapReader::Fault,
         "Cannot complete login due to an incorrect user name or password."},
        {"SOAP 1.2 fault",
         envelope("<env:Fault xmlns:env=\"http://www.w3.org/2003/05/soap-envelope\"><env:Reason>"
                  "<env:Text xml:lang=\"en\">  session\n not authenticated </env:Text></env:Reason></env:Fault>"),
         VMwareSoapReader::Fault, "session not authenticated"},
        {"fault without text", envelope("<Fault/>"), VMwareSoapReader::Fault, ""},
        {"lower-case fault is no fault", envelope("<fault>x</fault>"), VMwareSoapReader::Ok, ""},
        {"truncated", perf.left(perf.size() - 40), VMwareSoapReader::Malformed, ""},
        {"not XML", QByteArray("<html><body>Service Unavailable"), VMwareSoapReader::Malformed, ""},
        {"empty", QByteArray(), VMwareSoapReader::Malformed, ""},
        {"text after a NUL is cut", perf + QByteArray("\0<garbage", 9), VMwareSoapReader::Ok, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        QString fault;
        QString value;
        EXPECT_EQ(VMwareSoapReader::readPerfValue(c.answer, value, &fault), c.status);
        EXPECT_EQ(fault, QLatin1String(c.fault));
        if (c.status != VMwareSoapReader::Ok) {
            EXPECT_TRUE(value.isEmpty()) << qPrintable(value);
        }
    }
    // a huge fault text is cut
    const QByteArray longFault = envelope(("<Fault><faultstring>" + QByteArray(5000, 'x') + "</faultstring></Fault>").constData());
    QString fault;
    EXPECT_EQ(VMwareSoapReader::readFault(longFault, &fault), VMwareSoapReader::Fault);
    EXPECT_EQ(fault.size(), VMwareSoapReader::kMaxFaultText);
}

TEST(VMwareSoapReader, ObjectsOfOneKind)
{
    QList<VMwareObject> objects;
    ASSERT_EQ(VMwareSoapReader::readObjects(envelope(kObjects), VMwareVirtualMachine, objects, nullptr), VMwareSoapReader::Ok);
    ASSERT_EQ(objects.size(), 2);
    EXPECT_EQ(objects[0].id, QLatin1String("vm-1"));
    EXPECT_EQ(objects[0].name, QLatin1String("web & db"));
    EXPECT_EQ(objects[1].id, QLatin1String("vm-2"));
    EXPECT_EQ(objects[1].name, QLatin1String("vm2"));
    EXPECT_EQ(objects[1].type, VMwareVirtualMachine);

    ASSERT_EQ(VMwareSoapReader::readObjects(envelope(kObjects), VMwareHostSystem, objects, nullptr), VMwareSoapReader::Ok);
    ASSERT_EQ(objects.size(), 1);
    EXPECT_EQ(objects[0].name, QLatin1String("esx1"));

    EXPECT_EQ(VMwareSoapReader::readObjects(envelope(kObjects), VMwareDatastore, objects, nullptr), VMwareSoapReader::Ok);
    EXPECT_TRUE(objects.isEmpty());

    // a listing cut short yields nothing rather than the machines before the cut
    const QByteArray cut = envelope(kObjects).left(600);
    EXPECT_EQ(VMwareSoapReader::readObjects(cut, VMwareVirtualMachine, objects, nullptr), VMwareSoapReader::Malformed);
    EXPECT_TRUE(objects.isEmpty());
}

TEST(VMwareSoapReader, ElementTextsSkipNestedWhitespace)
{
    const QByteArray refs = envelope(
        "<RetrievePropertiesResponse><returnval><propSet><name>datastore</name>\n"
        "  <val xsi:type=\"ArrayOfManagedObjectReference\">\n"
        "    <ManagedObjectReference type=\"Datastore\">datastore-1</ManagedObjectReference>\n"
        "    <ManagedObjectReference type=\"Datastore\">datastore-2</ManagedObjectReference>\n"
        "  </val></propSet></returnval></RetrievePropertiesResponse>");
    QStringList texts;
    ASSERT_EQ(VMwareSoapReader::readElementTexts(refs, QStringLiteral("ManagedObjectReference"), texts, nullptr),
              VMwareSoapReader::Ok);
    EXPECT_EQ(texts, QStringList({QStringLiteral("datastore-1"), QStringLiteral("datastore-2")}));
    // the outer "val" holds elements, not a value
    ASSERT_EQ(VMwareSoapReader::readElementTexts(refs, QStringLiteral("val"), texts, nullptr), VMwareSoapReader::Ok);
    EXPECT_TRUE(texts.isEmpty());

    const QByteArray disks = envelope(
        "<r><val><GuestDiskInfo><capacity>10737418240</capacity><freeSpace>1</freeSpace></GuestDiskInfo>"
        "<GuestDiskInfo><capacity>5368709120</capacity><freeSpace>2</freeSpace></GuestDiskInfo></val></r>");
    ASSERT_EQ(VMwareSoapReader::readElementTexts(disks, QStringLiteral("capacity"), texts, nullptr), VMwareSoapReader::Ok);
    EXPECT_EQ(texts, QStringList({QStringLiteral("10737418240"), QStringLiteral("5368709120")}));
}

TEST(VMwareSoapReader, ServiceContentAndContainerView)
{
    const QByteArray full = envelope(
        "<RetrieveServiceContentResponse xmlns=\"urn:vim25\"><returnval>"
        "<rootFolder type=\"Folder\">ha-folder-root</rootFolder><propertyCollector type=\"PropertyCollector\">"
        "ha-property-collector</propertyCollector><viewManager type=\"ViewManager\">ViewManager</viewManager>"
        "<sessionManager type=\"SessionManager\">ha-sessionmgr</sessionManager>"
        "<perfManager type=\"PerformanceManager\">\n ha-perfmgr \n</perfManager></returnval>"
        "</RetrieveServiceContentResponse>");
    VMwareSoapReader::ServiceContent content;
    ASSERT_EQ(VMwareSoapReader::readServiceContent(full, content, nullptr), VMwareSoapReader::Ok);
    EXPECT_TRUE(content.complete());
    EXPECT_EQ(content.perfManager, QLatin1String("ha-perfmgr"));
    EXPECT_EQ(content.propertyCollector, QLatin1String("ha-property-collector"));

    QByteArray withoutPerf = full;
    withoutPerf.replace("\n ha-perfmgr \n", "");
    ASSERT_EQ(VMwareSoapReader::readServiceContent(withoutPerf, content, nullptr), VMwareSoapReader::Ok);
    EXPECT_FALSE(content.complete());

    QString view;
    ASSERT_EQ(VMwareSoapReader::readContainerView(
                  envelope("<CreateContainerViewResponse><returnval><x/></returnval>\n<returnval type=\"ContainerView\">"
                           "session[52]view-1</returnval></CreateContainerViewResponse>"),
                  view, nullptr),
              VMwareSoapReader::Ok);
    EXPECT_EQ(view, QLatin1String("session[52]view-1"));
}
