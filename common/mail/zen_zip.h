#pragma once

#include <stdexcept>
#include <string>

struct zip;

namespace zen {

// Any failure of the archive writer.
class CZipException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Writes a zip archive whose entries are protected with AES-256 under the password given
// (an empty password leaves them unprotected). Failures throw CZipException.
class CZenZip {
public:
    CZenZip() = default;
    ~CZenZip();
    CZenZip(const CZenZip&) = delete;
    CZenZip& operator=(const CZenZip&) = delete;

    // Starts a new archive at `path`, replacing any file there once it is closed.
    void Open(const std::string& path);
    void SetPassword(const std::string& password) { password_ = password; }
    // Reads the file now, so it may be deleted before Close().
    void AddNewFile(const std::string& path, const std::string& nameInArchive);
    // Writes the archive out.
    void Close();

private:
    zip* archive_ = nullptr;
    std::string path_;
    std::string password_;
};

}  // namespace zen
