// The SHA-256 of some bytes in hexadecimal, for the whole-picture checksum tables.
#pragma once

#include <openssl/evp.h>

#include <cstddef>
#include <cstdio>
#include <string>

namespace pattix::testing {

inline std::string sha256Hex(const void* bytes, std::size_t size) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes, size, digest, &length, EVP_sha256(), nullptr);
    std::string hex;
    char two[3];
    for (unsigned int i = 0; i < length; ++i) {
        std::snprintf(two, sizeof two, "%02x", digest[i]);
        hex += two;
    }
    return hex;
}

}  // namespace pattix::testing
