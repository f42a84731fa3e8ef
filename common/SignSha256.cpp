#include "SignSha256.h"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <memory>

namespace {

struct BioFree { void operator()(BIO* b) const { BIO_free(b); } };
struct PkeyFree { void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); } };
struct MdCtxFree { void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); } };
struct OpensslFree { void operator()(unsigned char* p) const { OPENSSL_free(p); } };

// The DER body of the first PEM block becomes a private key of whatever type it holds.
std::unique_ptr<EVP_PKEY, PkeyFree> readKey(const QByteArray& pem)
{
    std::unique_ptr<BIO, BioFree> bio(BIO_new_mem_buf(pem.constData(), pem.size()));
    if (!bio)
        return nullptr;
    char* name = nullptr;
    char* header = nullptr;
    unsigned char* der = nullptr;
    long derLength = 0;
    if (PEM_read_bio(bio.get(), &name, &header, &der, &derLength) != 1)
        return nullptr;
    OPENSSL_free(name);
    OPENSSL_free(header);
    std::unique_ptr<unsigned char, OpensslFree> derHolder(der);
    const unsigned char* p = der;
    EVP_PKEY* key = d2i_AutoPrivateKey(nullptr, &p, derLength);
    if (!key) {
        // A PKCS#8 body ("PRIVATE KEY") is not always recognised by the automatic decoder.
        p = der;
        PKCS8_PRIV_KEY_INFO* info = d2i_PKCS8_PRIV_KEY_INFO(nullptr, &p, derLength);
        if (info) {
            key = EVP_PKCS82PKEY(info);
            PKCS8_PRIV_KEY_INFO_free(info);
        }
    }
    return std::unique_ptr<EVP_PKEY, PkeyFree>(key);
}

} // namespace

QString signSha256(const QByteArray& pemPrivateKey, const QByteArray& data)
{
    const auto key = readKey(pemPrivateKey);
    if (!key)
        return QString();
    std::unique_ptr<EVP_MD_CTX, MdCtxFree> ctx(EVP_MD_CTX_new());
    if (!ctx || EVP_DigestSignInit(ctx.get(), nullptr, EVP_sha256(), nullptr, key.get()) != 1)
        return QString();
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.constData());
    size_t length = 0;
    if (EVP_DigestSign(ctx.get(), nullptr, &length, bytes, size_t(data.size())) != 1 || length == 0)
        return QString();
    QByteArray signature(int(length), '\0');
    if (EVP_DigestSign(ctx.get(), reinterpret_cast<unsigned char*>(signature.data()), &length, bytes,
                       size_t(data.size())) != 1)
        return QString();
    signature.truncate(int(length));
    return QString::fromLatin1(signature.toBase64());
}
