#include <regex>

#include "common/db/machine_id.h"
#include "support/child_process.h"
#include "support/temp_root.h"

namespace zen {
namespace {

TEST(MachineId, FoldsTheSerial) {
    struct Case {
        const char* serial;
        uint32_t raw;
    };
    const Case cases[] = {
        {"12", 12},  {"1-2", 12},      // "-" is skipped
        {"0a", 10},                    // "0" weighs nothing, letters 10..35 in either case
        {"Z", 35},   {"WD-WX12", 12},  // from the sixth character on: "WD-W" and one more skipped
        {"WD-W", 0}, {"?1", 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FoldSerial(c.serial), c.raw) << c.serial;
    }
    EXPECT_EQ(MachineIdFrom(std::string_view("12"), 0x106), ~12u >> 1);
    // No serial, or one that folds to 0: the version word stands in.
    EXPECT_EQ(MachineIdFrom(std::nullopt, 0x106), ~0x106u >> 1);
    EXPECT_EQ(MachineIdFrom(std::string_view("0000"), 0x106), ~0x106u >> 1);
}

TEST(MachineId, NamesAreSixLettersOrDigits) {
    for (uint32_t seed : {0u, 9318u, 9231u, 0xFFFFFFFFu}) {
        const std::string name = HiddenNameCharacters(seed, 0x12345678);
        EXPECT_TRUE(std::regex_match(name, std::regex("[A-Za-z0-9]{6}"))) << name;
        EXPECT_EQ(name, HiddenNameCharacters(seed, 0x12345678));
    }
    EXPECT_NE(HiddenNameCharacters(9318, 1), HiddenNameCharacters(9318, 2));
}

ZEN_CHILD(print_options_name) {
    std::printf("%s", HiddenDataFileName(9318).c_str());
    return 0;
}

using HiddenNameTest = test::RootedTest;

TEST_F(HiddenNameTest, EveryProcessOfAMachineAgrees) {
    std::filesystem::create_directories(root / "etc");
    test::WriteAll(root / "etc/machine-id", "4c4c4544003510538043b4c04f4d3332\n");
    const std::filesystem::path here = HiddenDataFileName(9318);
    EXPECT_EQ(here.parent_path(), root / "var/lib/zentimo");
    EXPECT_TRUE(std::regex_match(here.filename().string(), std::regex("zen[A-Za-z0-9]{6}\\.dat")));

    std::FILE* out = ::popen(
        ("/proc/" + std::to_string(::getpid()) + "/exe --zen-child print_options_name").c_str(),
        "r");
    ASSERT_NE(out, nullptr);
    char buffer[4096] = {};
    std::fgets(buffer, sizeof buffer, out);
    ::pclose(out);
    EXPECT_EQ(std::string(buffer), here.string());
}

}  // namespace
}  // namespace zen
