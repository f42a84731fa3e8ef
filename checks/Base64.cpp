#include "Base64.h"

namespace {
const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
}

size_t base64_encode(char* output, const unsigned char* bytes, size_t length)
{
    size_t o = 0;
    size_t i = 0;
    for (; i + 2 < length; i += 3) {
        const unsigned v = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
        output[o++] = kAlphabet[(v >> 18) & 63];
        output[o++] = kAlphabet[(v >> 12) & 63];
        output[o++] = kAlphabet[(v >> 6) & 63];
        output[o++] = kAlphabet[v & 63];
    }
    if (i < length) {
        const unsigned v = (bytes[i] << 16) | (i + 1 < length ? bytes[i + 1] << 8 : 0);
        output[o++] = kAlphabet[(v >> 18) & 63];
        output[o++] = kAlphabet[(v >> 12) & 63];
        output[o++] = i + 1 < length ? kAlphabet[(v >> 6) & 63] : '=';
        output[o++] = '=';
    }
    output[o] = '\0';
    return o;
}

char* base64_encode(const char* text, size_t length)
{
    if (!text)
        return nullptr;
    char* out = new char[(length + 2) / 3 * 4 + 1];
    base64_encode(out, reinterpret_cast<const unsigned char*>(text), length);
    return out;
}

std::string base64Encode(const std::string& bytes)
{
    std::string out((bytes.size() + 2) / 3 * 4 + 1, '\0');
    out.resize(base64_encode(&out[0], reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
    return out;
}
