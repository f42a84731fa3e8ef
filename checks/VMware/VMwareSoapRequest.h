#pragma once
// Texts of the SOAP requests the VMware client sends, as UTF-8 bytes. Every value put into a
// request is XML-escaped, so a password with "&" or "<" logs in as it is and no value can add
// elements. Pure functions; no state.

#include "VMwareObject.h"

#include <QByteArray>
#include <QString>

namespace VMwareSoapRequest {

// Text content or attribute value: & < > " ' as entities; characters XML 1.0 cannot carry
// (controls other than tab, line feed and carriage return) are dropped.
QString escape(const QString& value);

QByteArray retrieveServiceContent();
QByteArray login(const QString& sessionManager, const QString& user, const QString& password);
QByteArray logout(const QString& sessionManager);
QByteArray createContainerView(const QString& viewManager, const QString& rootFolder);
QByteArray createFilter(const QString& propertyCollector, const QString& view, const QString& rootFolder);
QByteArray waitForUpdates(const QString& propertyCollector);
QByteArray retrieveProperties(const QString& propertyCollector, VMwareObjectType type, const QString& id,
                              const QString& path);
QByteArray queryPerf(const QString& perfManager, VMwareObjectType entityType, const QString& entity,
                     const QString& counterId, const QString& instance);

}  // namespace VMwareSoapRequest
