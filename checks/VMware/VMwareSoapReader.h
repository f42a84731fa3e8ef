#pragma once
// Readers of the ESXi server's SOAP answers: pure functions over the answer's bytes, each one
// streaming pass without a document tree. Every reader also tells a fault answer (an element
// named "Fault", with its fault text) and a document that is not well-formed XML, from which
// nothing read counts. The bytes are cut at the first NUL.

#include "VMwareObject.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class VMwareSoapReader
{
public:
    enum Status { Ok, Fault, Malformed };

    struct ServiceContent
    {
        QString rootFolder, sessionManager, viewManager, perfManager, propertyCollector;
        bool complete() const;
    };

    // Fault texts longer than this are cut.
    static constexpr int kMaxFaultText = 256;

    // Fault test only.
    static Status readFault(const QByteArray& answer, QString* faultText);
    // The texts of the five managers of the service content.
    static Status readServiceContent(const QByteArray& answer, ServiceContent& content, QString* faultText);
    // The text right after the first "returnval" start element that is followed by text.
    static Status readContainerView(const QByteArray& answer, QString& viewId, QString* faultText);
    // Each "obj" of the kind's type name, named by the text of the next "val" after it.
    static Status readObjects(const QByteArray& answer, VMwareObjectType type, QList<VMwareObject>& objects,
                              QString* faultText);
    // The text of every element with this local name whose content starts with text that is
    // not white space.
    static Status readElementTexts(const QByteArray& answer, const QString& element, QStringList& texts,
                                   QString* faultText);
    // The first non-blank text directly inside a "value" element (a sample series nests one
    // "value" in another); empty when there is none.
    static Status readPerfValue(const QByteArray& answer, QString& valueText, QString* faultText);
};
