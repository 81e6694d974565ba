#pragma once

#include <cstddef>
#include <span>

namespace zen {

// Enciphers stored records in place with the one AES-256 key every deliverable shares: ECB
// over the record's whole 16-byte blocks, the remaining N mod 16 bytes left in clear.
namespace DataFileKey {
void Encipher(std::span<std::byte> record);
void Decipher(std::span<std::byte> record);

template <typename T>
void Encipher(T& record) {
    Encipher(std::as_writable_bytes(std::span(&record, 1)));
}
template <typename T>
void Decipher(T& record) {
    Decipher(std::as_writable_bytes(std::span(&record, 1)));
}
}  // namespace DataFileKey

}  // namespace zen
