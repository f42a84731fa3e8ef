#include "VMwareSoapReader.h"

#include <QXmlStreamReader>

#include <vector>

namespace {

QByteArray cutAtNul(const QByteArray& answer)
{
    const int nul = answer.indexOf('\0');
    return nul < 0 ? answer : answer.left(nul);
}

// One pass over the answer: the visitor sees every token; fault elements and their text are
// noted on the way. The visitor must not advance the reader.
template <class Visitor>
VMwareSoapReader::Status scan(const QByteArray& answer, QString* faultText, Visitor visit)
{
    QXmlStreamReader xml(cutAtNul(answer));
    bool fault = false;
    bool inFaultText = false;
    QString text;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::Invalid)
            break;
        if (token == QXmlStreamReader::StartElement) {
            const QStringRef name = xml.name();
            if (name == QLatin1String("Fault"))
                fault = true;
            // SOAP 1.1 "faultstring", SOAP 1.2 "Text" inside "Reason"
            inFaultText = fault && text.isEmpty()
                && (name == QLatin1String("faultstring") || name == QLatin1String("Text"));
        } else if (token == QXmlStreamReader::EndElement) {
            inFaultText = false;
        } else if (token == QXmlStreamReader::Characters && inFaultText
                   && text.size() < VMwareSoapReader::kMaxFaultText) {
            text += xml.text().left(VMwareSoapReader::kMaxFaultText - text.size());
        }
        visit(xml, token);
    }
    if (xml.hasError())
        return VMwareSoapReader::Malformed;
    if (fault) {
        if (faultText)
            *faultText = text.simplified();
        return VMwareSoapReader::Fault;
    }
    return VMwareSoapReader::Ok;
}

bool isText(const QXmlStreamReader& xml, QXmlStreamReader::TokenType token)
{
    return token == QXmlStreamReader::Characters && !xml.isWhitespace();
}

}  // namespace

bool VMwareSoapReader::ServiceContent::complete() const
{
    return !rootFolder.isEmpty() && !sessionManager.isEmpty() && !viewManager.isEmpty() && !perfManager.isEmpty()
        && !propertyCollector.isEmpty();
}

VMwareSoapReader::Status VMwareSoapReader::readFault(const QByteArray& answer, QString* faultText)
{
    return scan(answer, faultText, [](const QXmlStreamReader&, QXmlStreamReader::TokenType) {});
}

VMwareSoapReader::Status VMwareSoapReader::readServiceContent(const QByteArray& answer, ServiceContent& content,
                                                              QString* faultText)
{
    content = ServiceContent();
    QString* target = nullptr;
    return scan(answer, faultText, [&](const QXmlStreamReader& xml, QXmlStreamReader::TokenType token) {
        if (token == QXmlStreamReader::StartElement) {
            const QStringRef name = xml.name();
            target = name == QLatin1String("rootFolder")          ? &content.rootFolder
                : name == QLatin1String("sessionManager")        ? &content.sessionManager
                : name == QLatin1String("viewManager")           ? &content.viewManager
                : name == QLatin1String("perfManager")           ? &content.perfManager
                : name == QLatin1String("propertyCollector")     ? &content.propertyCollector
                                                                  : nullptr;
            return;
        }
        if (target && isText(xml, token))
            *target = xml.text().toString().trimmed();
        target = nullptr;
    });
}

VMwareSoapReader::Status VMwareSoapReader::readContainerView(const QByteArray& answer, QString& viewId,
                                                             QString* faultText)
{
    viewId.clear();
    bool afterReturnval = false;
    return scan(answer, faultText, [&](const QXmlStreamReader& xml, QXmlStreamReader::TokenType token) {
        if (viewId.isEmpty() && afterReturnval && isText(xml, token))
            viewId = xml.text().toString().trimmed();
        afterReturnval = token == QXmlStreamReader::StartElement && xml.name() == QLatin1String("returnval");
    });
}

VMwareSoapReader::Status VMwareSoapReader::readObjects(const QByteArray& answer, VMwareObjectType type,
                                                       QList<VMwareObject>& objects, QString* faultText)
{
    objects.clear();
    const QString typeName = vmwareTypeName(type);
    enum { SeekObj, ObjText, SeekVal, ValText } state = SeekObj;
    VMwareObject current;
    current.type = type;
    const Status status = scan(answer, faultText, [&](const QXmlStreamReader& xml, QXmlStreamReader::TokenType token) {
        const bool start = token == QXmlStreamReader::StartElement;
        switch (state) {
        case SeekObj:
            if (start && xml.name() == QLatin1String("obj") && xml.attributes().value(QLatin1String("type")) == typeName)
                state = ObjText;
            break;
        case ObjText:
            if (isText(xml, token)) {
                current.id = xml.text().toString().trimmed();
                state = SeekVal;
            } else if (token != QXmlStreamReader::Characters) {
                state = SeekObj;  // an "obj" without an id
            }
            break;
        case SeekVal:
            if (start && xml.name() == QLatin1String("val"))
                state = ValText;
            break;
        case ValText:
            if (token == QXmlStreamReader::Characters) {
                current.name += xml.text();
                break;
            }
            if (current.name.trimmed().isEmpty())
                current.name.clear();
            objects.append(current);
            current.name.clear();
            state = SeekObj;
            if (start && xml.name() == QLatin1String("obj")
                && xml.attributes().value(QLatin1String("type")) == typeName)
                state = ObjText;
            break;
        }
    });
    if (status != Ok)
        objects.clear();
    return status;
}

VMwareSoapReader::Status VMwareSoapReader::readElementTexts(const QByteArray& answer, const QString& element,
                                                            QStringList& texts, QString* faultText)
{
    texts.clear();
    // Character data may come in pieces (around entity references): it is joined first.
    bool collecting = false;
    QString text;
    const Status status = scan(answer, faultText, [&](const QXmlStreamReader& xml, QXmlStreamReader::TokenType token) {
        if (collecting && token == QXmlStreamReader::Characters) {
            text += xml.text();
            return;
        }
        if (collecting && !text.trimmed().isEmpty())
            texts.append(text);
        text.clear();
        collecting = token == QXmlStreamReader::StartElement && xml.name() == element;
    });
    if (status != Ok)
        texts.clear();
    return status;
}

VMwareSoapReader::Status VMwareSoapReader::readPerfValue(const QByteArray& answer, QString& valueText,
                                                         QString* faultText)
{
    valueText.clear();
    std::vector<bool> openIsValue;  // per open element: is it a "value"
    const Status status = scan(answer, faultText, [&](const QXmlStreamReader& xml, QXmlStreamReader::TokenType token) {
        if (token == QXmlStreamReader::StartElement)
            openIsValue.push_back(xml.name() == QLatin1String("value"));
        else if (token == QXmlStreamReader::EndElement && !openIsValue.empty())
            openIsValue.pop_back();
        else if (valueText.isEmpty() && isText(xml, token) && !openIsValue.empty() && openIsValue.back())
            valueText = xml.text().toString().trimmed();
    });
    if (status != Ok)
        valueText.clear();
    return status;
}
