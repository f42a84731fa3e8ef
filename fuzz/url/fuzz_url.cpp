// URL parsing and address/host-name checks over untrusted text.
#include "common/CUrl.h"
#include "common/WebUtils.h"

#include <QString>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    CUrl url(text);
    (void)url.toString(true);
    (void)url.toString(false);
    (void)url.hostPort(true);
    (void)url.isSecured();
    const QString tail = url.tail();
    url.setTail(tail);
    (void)url.toString(false);

    for (bool ftp : {false, true}) {
        WebUtils::SParsedUrlRec rec;
        if (WebUtils::parseUrl(text, rec, ftp) && (rec.host.isEmpty() || rec.port < 0 || rec.port > 65535))
            __builtin_trap();
    }
    (void)WebUtils::isValidIp(text, false);
    (void)WebUtils::isValidIp(text, true);
    (void)WebUtils::isValidHostName(text);
    (void)WebUtils::textToHeadersList(text, true);
    (void)WebUtils::stringToHeader(text);
    (void)WebUtils::areSameHostnames(text, QStringLiteral("mail"), QStringLiteral(".example.org"));
    return 0;
}
