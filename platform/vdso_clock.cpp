#include "platform/vdso_clock.h"

#include <elf.h>
#include <link.h>
#include <sys/auxv.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstring>
#include <ctime>

namespace zen {
namespace {

using ClockGettime = int (*)(clockid_t, timespec*);

#if defined(__aarch64__)
constexpr char kVdsoClockGettime[] = "__kernel_clock_gettime";
#else
constexpr char kVdsoClockGettime[] = "__vdso_clock_gettime";
#endif

// The vDSO's clock_gettime from its dynamic symbol table; null when it has none.
ClockGettime FindVdsoClockGettime() {
    const auto base = static_cast<uintptr_t>(::getauxval(AT_SYSINFO_EHDR));
    if (base == 0) {
        return nullptr;
    }
    const auto* header = reinterpret_cast<const ElfW(Ehdr)*>(base);
    const auto* programs = reinterpret_cast<const ElfW(Phdr)*>(base + header->e_phoff);
    uintptr_t loadOffset = 0;
    const ElfW(Dyn)* dynamic = nullptr;
    bool loaded = false;
    for (int i = 0; i < header->e_phnum; ++i) {
        if (programs[i].p_type == PT_LOAD && !loaded) {
            loadOffset = base + programs[i].p_offset - programs[i].p_vaddr;
            loaded = true;
        } else if (programs[i].p_type == PT_DYNAMIC) {
            dynamic = reinterpret_cast<const ElfW(Dyn)*>(base + programs[i].p_offset);
        }
    }
    if (!loaded || dynamic == nullptr) {
        return nullptr;
    }
    const ElfW(Sym)* symbols = nullptr;
    const char* names = nullptr;
    const ElfW(Word)* hash = nullptr;
    for (const ElfW(Dyn)* entry = dynamic; entry->d_tag != DT_NULL; ++entry) {
        const uintptr_t address = entry->d_un.d_ptr + loadOffset;
        if (entry->d_tag == DT_SYMTAB) {
            symbols = reinterpret_cast<const ElfW(Sym)*>(address);
        } else if (entry->d_tag == DT_STRTAB) {
            names = reinterpret_cast<const char*>(address);
        } else if (entry->d_tag == DT_HASH) {
            hash = reinterpret_cast<const ElfW(Word)*>(address);
        }
    }
    if (symbols == nullptr || names == nullptr || hash == nullptr) {
        return nullptr;
    }
    // A SysV hash table's second word is the number of symbols.
    for (ElfW(Word) i = 0; i < hash[1]; ++i) {
        const ElfW(Sym)& symbol = symbols[i];
        if (ELF64_ST_TYPE(symbol.st_info) == STT_FUNC && symbol.st_shndx != SHN_UNDEF &&
            std::strcmp(names + symbol.st_name, kVdsoClockGettime) == 0) {
            return reinterpret_cast<ClockGettime>(loadOffset + symbol.st_value);
        }
    }
    return nullptr;
}

}  // namespace

int64_t KernelRealtimeSeconds() {
    static const ClockGettime vdso = FindVdsoClockGettime();
    timespec now{};
    if (vdso == nullptr || vdso(CLOCK_REALTIME, &now) != 0) {
        ::syscall(SYS_clock_gettime, CLOCK_REALTIME, &now);
    }
    return static_cast<int64_t>(now.tv_sec);
}

}  // namespace zen
