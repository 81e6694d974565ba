#include "common/db/checksum.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <array>

#include "common/db/error_log.h"
#include "platform/unique_fd.h"

namespace zen {

uint32_t CheckSum(const std::filesystem::path& file) {
    UniqueFd fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        LogError("Error: (GetCheckSum)invalid handle value. File %s. Error 0x%X", file.c_str(),
                 static_cast<unsigned>(errno));
        return kCheckSumFailed;
    }
    return CheckSumOfOpenFile(fd.get(), file.c_str());
}

uint32_t CheckSumOfOpenFile(int fd, const char* name) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        LogError("Error: (GetCheckSum) invalid file size. File %s. Error 0x%X", name,
                 static_cast<unsigned>(errno));
        return kCheckSumFailed;
    }
    std::array<unsigned char, 4000> buffer;
    const std::size_t wanted =
        std::min<std::size_t>(buffer.size(), static_cast<std::size_t>(status.st_size));
    const ssize_t read = ::pread(fd, buffer.data(), wanted, 0);
    if (read < 0 || static_cast<std::size_t>(read) != wanted) {
        return kCheckSumFailed;
    }
    return static_cast<uint32_t>(::crc32(0L, buffer.data(), static_cast<uInt>(wanted)));
}

uint32_t StringCrc(std::u16string_view text) {
    // The stored form of the name: UTF-16LE, which is the memory form on this machine.
    return static_cast<uint32_t>(::crc32(0L, reinterpret_cast<const Bytef*>(text.data()),
                                         static_cast<uInt>(text.size() * sizeof(char16_t))));
}

}  // namespace zen
