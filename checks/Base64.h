#pragma once
// The library's Base64 encoder (RFC 4648 alphabet, "=" padding), used for SMTP AUTH and for
// encoded header words. Pure functions; any thread.

#include <cstddef>
#include <string>

// A new NUL-terminated text the caller frees with delete[]; null for a null input.
char* base64_encode(const char* text, size_t length);
// Writes into output (room for 4 * ceil(length / 3) characters and a NUL) and answers the number
// of characters written.
size_t base64_encode(char* output, const unsigned char* bytes, size_t length);
std::string base64Encode(const std::string& bytes);
