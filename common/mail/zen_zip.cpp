#include "common/mail/zen_zip.h"

#include <zip.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace zen {
namespace {

[[noreturn]] void Throw(const std::string& what, zip_error_t* error) {
    throw CZipException(what + ": " + zip_error_strerror(error));
}

[[noreturn]] void Throw(const std::string& what, zip* archive) {
    Throw(what, zip_get_error(archive));
}

}  // namespace

CZenZip::~CZenZip() {
    if (archive_ != nullptr) {
        zip_discard(archive_);
    }
}

void CZenZip::Open(const std::string& path) {
    if (archive_ != nullptr) {
        throw CZipException("an archive is already open");
    }
    int code = 0;
    archive_ = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (archive_ == nullptr) {
        zip_error_t error;
        zip_error_init_with_code(&error, code);
        const std::string text =
            std::string("cannot open ") + path + ": " + zip_error_strerror(&error);
        zip_error_fini(&error);
        throw CZipException(text);
    }
    path_ = path;
}

void CZenZip::AddNewFile(const std::string& path, const std::string& nameInArchive) {
    if (archive_ == nullptr) {
        throw CZipException("no archive is open");
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw CZipException("cannot read " + path);
    }
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        throw CZipException("cannot read " + path);
    }
    // libzip frees the copy once the archive is written or discarded; an empty file has no
    // buffer at all, as libzip does not take ownership of an empty one.
    void* copy = nullptr;
    if (!bytes.empty()) {
        copy = std::malloc(bytes.size());
        if (copy == nullptr) {
            throw CZipException("out of memory for " + path);
        }
        std::memcpy(copy, bytes.data(), bytes.size());
    }
    zip_source_t* source = zip_source_buffer(archive_, copy, bytes.size(), copy != nullptr ? 1 : 0);
    if (source == nullptr) {
        std::free(copy);
        Throw("cannot add " + path, archive_);
    }
    const zip_int64_t index =
        zip_file_add(archive_, nameInArchive.c_str(), source, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8);
    if (index < 0) {
        zip_source_free(source);
        Throw("cannot add " + nameInArchive, archive_);
    }
    if (!password_.empty() && zip_file_set_encryption(archive_, static_cast<zip_uint64_t>(index),
                                                      ZIP_EM_AES_256, password_.c_str()) != 0) {
        Throw("cannot protect " + nameInArchive, archive_);
    }
}

void CZenZip::Close() {
    if (archive_ == nullptr) {
        throw CZipException("no archive is open");
    }
    if (zip_close(archive_) != 0) {
        const std::string text =
            "cannot write " + path_ + ": " + zip_error_strerror(zip_get_error(archive_));
        zip_discard(archive_);
        archive_ = nullptr;
        throw CZipException(text);
    }
    archive_ = nullptr;
}

}  // namespace zen
