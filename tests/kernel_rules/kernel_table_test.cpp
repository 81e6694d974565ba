// The text of the kernel's table and the reading of its counters, without a kernel.
#include <gtest/gtest.h>

#include <vector>

#include "platform/internet_table.h"

namespace zen::test {
namespace {

std::size_t Count(const std::string& text, std::string_view needle) {
    std::size_t count = 0;
    for (std::size_t at = text.find(needle); at != std::string::npos;
         at = text.find(needle, at + 1)) {
        ++count;
    }
    return count;
}

TEST(KernelTableTextTest, ReplacesTheWholeTableAndRejectsOnlyForbiddenAccountsPastLoopback) {
    const std::vector<AccountInternetRule> accounts{{62402, false}, {62401, true}, {62401, true}};
    const std::string text = InternetTableText(accounts);
    // One transaction: whatever table was there goes, the new one comes whole.
    EXPECT_EQ(
        text.rfind("add table inet zentimo\ndelete table inet zentimo\ntable inet zentimo {\n", 0),
        0u)
        << text;
    EXPECT_EQ(Count(text, "counter u62401 {"), 1u) << text;
    EXPECT_EQ(Count(text, "counter u62402 {"), 1u) << text;
    // Only the forbidden account's chain rejects, TCP with a reset and the rest prohibited.
    EXPECT_EQ(Count(text, "reject with tcp reset"), 1u) << text;
    EXPECT_EQ(Count(text, "reject with icmpx admin-prohibited"), 1u) << text;
    const std::size_t forbiddenChain = text.find("chain u62401 {");
    ASSERT_NE(forbiddenChain, std::string::npos);
    EXPECT_LT(forbiddenChain, text.find("reject with tcp reset"));
    EXPECT_LT(text.find("reject with tcp reset"), text.find("chain u62402 {"));
    // Loopback leaves the chain before any account is looked at; accounts in uid order.
    EXPECT_LT(text.find("oif \"lo\" return"), text.find("meta skuid vmap"));
    EXPECT_NE(text.find("meta skuid vmap { 62401 : jump u62401, 62402 : jump u62402 }"),
              std::string::npos)
        << text;
    EXPECT_EQ(InternetTableText(accounts), text);
}

TEST(KernelTableTextTest, WithoutAccountsTheChainOnlyLetsEverythingPass) {
    const std::string text = InternetTableText({});
    EXPECT_EQ(text.find("vmap"), std::string::npos) << text;
    EXPECT_EQ(text.find("reject"), std::string::npos) << text;
    EXPECT_NE(text.find("policy accept;"), std::string::npos) << text;
}

TEST(KernelTableTextTest, AccountCountersAreTheTablesCountersNamedByUid) {
    const std::map<std::string, uint64_t> named{
        {"u62401", 12}, {"u62402", 0}, {"other", 9}, {"u", 1}, {"u12x", 3}};
    EXPECT_EQ(AccountCounters(named), (std::map<uid_t, uint64_t>{{62401, 12}, {62402, 0}}));
}

}  // namespace
}  // namespace zen::test
