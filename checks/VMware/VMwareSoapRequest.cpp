#include "VMwareSoapRequest.h"

namespace {

const char kEnvelopeNs[] = "http://schemas.xmlsoap.org/soap/envelope/";
const char kSchemaNs[] =
    "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"";

// The five property-collector and manager requests share one envelope with a default
// namespace on the body element.
QByteArray internalEnvelope(const QString& body)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                          "<soapenv:Envelope xmlns:soapenv=\"%1\" %2><soapenv:Body>%3</soapenv:Body></soapenv:Envelope>")
        .arg(QLatin1String(kEnvelopeNs), QLatin1String(kSchemaNs), body)
        .toUtf8();
}

QString ref(const QString& element, const QString& type, const QString& value)
{
    return QStringLiteral("<%1 xsi:type=\"ManagedObjectReference\" type=\"%2\" serverGuid=\"\">%3</%1>")
        .arg(element, VMwareSoapRequest::escape(type), VMwareSoapRequest::escape(value));
}

QString text(const QString& element, const QString& value)
{
    return QStringLiteral("<%1>%2</%1>").arg(element, VMwareSoapRequest::escape(value));
}

}  // namespace

namespace VMwareSoapRequest {

QString escape(const QString& value)
{
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        const ushort u = c.unicode();
        switch (u) {
        case '&': out += QLatin1String("&amp;"); break;
        case '<': out += QLatin1String("&lt;"); break;
        case '>': out += QLatin1String("&gt;"); break;
        case '"': out += QLatin1String("&quot;"); break;
        case '\'': out += QLatin1String("&apos;"); break;
        default:
            if (u < 0x20 && u != '\t' && u != '\n' && u != '\r')
                break;
            if (u == 0xFFFE || u == 0xFFFF)
                break;
            out += c;
        }
    }
    return out;
}

QByteArray retrieveServiceContent()
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                          "<soapenv:Envelope xmlns:soapenv=\"%1\" %2><soapenv:Body>"
                          "<n1:RetrieveServiceContent xmlns:n1=\"urn:vim25\">"
                          "<n1:_this type=\"ServiceInstance\">ServiceInstance</n1:_this>"
                          "</n1:RetrieveServiceContent></soapenv:Body></soapenv:Envelope>")
        .arg(QLatin1String(kEnvelopeNs), QLatin1String(kSchemaNs))
        .toUtf8();
}

QByteArray login(const QString& sessionManager, const QString& user, const QString& password)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                          "<ns1:Envelope xmlns:ns0=\"urn:vim25\" xmlns:ns1=\"%1\" %2><ns1:Header/><ns1:Body>"
                          "<ns0:Login xsi:type=\"ns0:LoginRequestType\">"
                          "<ns0:_this type=\"SessionManager\">%3</ns0:_this>"
                          "<ns0:userName>%4</ns0:userName><ns0:password>%5</ns0:password>"
                          "</ns0:Login></ns1:Body></ns1:Envelope>")
        .arg(QLatin1String(kEnvelopeNs), QLatin1String(kSchemaNs), escape(sessionManager), escape(user),
             escape(password))
        .toUtf8();
}

QByteArray logout(const QString& sessionManager)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                          "<ns1:Envelope xmlns:ns0=\"urn:vim25\" xmlns:ns1=\"%1\" %2><ns1:Body>"
                          "<ns0:Logout><ns0:_this type=\"SessionManager\">%3</ns0:_this></ns0:Logout>"
                          "</ns1:Body></ns1:Envelope>")
        .arg(QLatin1String(kEnvelopeNs), QLatin1String(kSchemaNs), escape(sessionManager))
        .toUtf8();
}

QByteArray createContainerView(const QString& viewManager, const QString& rootFolder)
{
    return internalEnvelope(QStringLiteral("<CreateContainerView xmlns=\"urn:internalvim25\">")
                            + ref(QStringLiteral("_this"), QStringLiteral("ViewManager"), viewManager)
                            + ref(QStringLiteral("container"), QStringLiteral("Folder"), rootFolder)
                            + QStringLiteral("<type>ManagedEntity</type><recursive>true</recursive>"
                                             "</CreateContainerView>"));
}

QByteArray createFilter(const QString& propertyCollector, const QString& view, const QString& rootFolder)
{
    return internalEnvelope(
        QStringLiteral("<CreateFilter xmlns=\"urn:internalvim25\">")
        + ref(QStringLiteral("_this"), QStringLiteral("PropertyCollector"), propertyCollector)
        + QStringLiteral("<spec><propSet><type>ManagedEntity</type><pathSet>name</pathSet></propSet><objectSet>")
        + ref(QStringLiteral("obj"), QStringLiteral("ContainerView"), view)
        + QStringLiteral("<selectSet xsi:type=\"TraversalSpec\"><type>ContainerView</type><path>view</path>"
                         "</selectSet></objectSet><objectSet>")
        + ref(QStringLiteral("obj"), QStringLiteral("Folder"), rootFolder)
        + QStringLiteral("</objectSet></spec><partialUpdates>true</partialUpdates></CreateFilter>"));
}

QByteArray waitForUpdates(const QString& propertyCollector)
{
    return internalEnvelope(QStringLiteral("<WaitForUpdates xmlns=\"urn:internalvim25\">")
                            + ref(QStringLiteral("_this"), QStringLiteral("PropertyCollector"), propertyCollector)
                            + QStringLiteral("<version></version></WaitForUpdates>"));
}

QByteArray retrieveProperties(const QString& propertyCollector, VMwareObjectType type, const QString& id,
                              const QString& path)
{
    const QString typeName = vmwareTypeName(type);
    return internalEnvelope(QStringLiteral("<RetrieveProperties xmlns=\"urn:internalvim25\">")
                            + ref(QStringLiteral("_this"), QStringLiteral("PropertyCollector"), propertyCollector)
                            + QStringLiteral("<specSet><propSet>") + text(QStringLiteral("type"), typeName)
                            + QStringLiteral("<all>false</all>") + text(QStringLiteral("pathSet"), path)
                            + QStringLiteral("</propSet><objectSet>") + ref(QStringLiteral("obj"), typeName, id)
                            + QStringLiteral("</objectSet></specSet></RetrieveProperties>"));
}

QByteArray queryPerf(const QString& perfManager, VMwareObjectType entityType, const QString& entity,
                     const QString& counterId, const QString& instance)
{
    return internalEnvelope(QStringLiteral("<QueryPerf xmlns=\"urn:internalvim25\">")
                            + ref(QStringLiteral("_this"), QStringLiteral("PerformanceManager"), perfManager)
                            + QStringLiteral("<querySpec>")
                            + ref(QStringLiteral("entity"), vmwareTypeName(entityType), entity)
                            + QStringLiteral("<maxSample>1</maxSample><metricId>")
                            + text(QStringLiteral("counterId"), counterId) + text(QStringLiteral("instance"), instance)
                            + QStringLiteral("</metricId><intervalId>20</intervalId></querySpec></QueryPerf>"));
}

}  // namespace VMwareSoapRequest
