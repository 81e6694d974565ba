#include "common/db/data_file_key.h"

#include <openssl/evp.h>

#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>

namespace zen::DataFileKey {
namespace {

// Built as every deliverable builds it: a fixed constant with six bytes overwritten. Files
// are readable only by builds with the same key.
std::array<uint8_t, 32> BuildKey() {
    std::array<uint8_t, 32> key = {0x5a, 0x65, 0x6e, 0x74, 0x69, 0x6d, 0x6f, 0x2d, 0x4c, 0x69, 0x6e,
                                   0x75, 0x78, 0x2d, 0x44, 0x61, 0x74, 0x61, 0x46, 0x69, 0x6c, 0x65,
                                   0x4b, 0x65, 0x79, 0x2d, 0x32, 0x2e, 0x30, 0x31, 0x9c, 0x3e};
    key[3] = 0x17;
    key[7] = 0xc4;
    key[12] = 0x5b;
    key[19] = 0xe2;
    key[24] = 0x08;
    key[29] = 0x91;
    return key;
}

struct ContextFree {
    void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};
using Context = std::unique_ptr<EVP_CIPHER_CTX, ContextFree>;

Context MakeContext(bool encrypt) {
    static const std::array<uint8_t, 32> key = BuildKey();
    Context context(EVP_CIPHER_CTX_new());
    if (!context || EVP_CipherInit_ex(context.get(), EVP_aes_256_ecb(), nullptr, key.data(),
                                      nullptr, encrypt ? 1 : 0) != 1) {
        throw std::runtime_error("AES-256 is not available");
    }
    EVP_CIPHER_CTX_set_padding(context.get(), 0);
    return context;
}

// One keyed context per direction and thread: contexts are not safe to share between threads.
void Run(std::span<std::byte> record, bool encrypt) {
    thread_local Context encryptor = MakeContext(true);
    thread_local Context decryptor = MakeContext(false);
    const std::size_t whole = record.size() / 16 * 16;
    if (whole == 0) {
        return;
    }
    auto* bytes = reinterpret_cast<unsigned char*>(record.data());
    int written = 0;
    EVP_CipherUpdate((encrypt ? encryptor : decryptor).get(), bytes, &written, bytes,
                     static_cast<int>(whole));
}

}  // namespace

void Encipher(std::span<std::byte> record) {
    Run(record, true);
}
void Decipher(std::span<std::byte> record) {
    Run(record, false);
}

}  // namespace zen::DataFileKey
