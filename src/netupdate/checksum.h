// File checksums of the update control file (newchecksum) and Base64 for basic authentication.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zeph::nu {

// The additive CRC variant: c = c + (T[(c ^ b) & 0xFF] ^ (c >> 8)), from 0xFFFFFFFF, inverted at
// the end. Not the standard CRC-32; "abc" gives 0x6C8D9D41. 0 for an empty or unreadable file.
int32_t FileCRC32(const std::string& path);
// -1 plus every byte, modulo 2^32. -1 for an empty or unreadable file.
int32_t ByteSumChecksum(const std::string& path);

// The running steps, for data already in memory.
uint32_t Crc32Update(uint32_t c, const unsigned char* data, size_t n);
uint32_t ByteSumUpdate(uint32_t s, const unsigned char* data, size_t n);

// RFC 4648 Base64 with padding, no line breaks.
std::string Base64Encode(const std::string& bytes);

}  // namespace zeph::nu
