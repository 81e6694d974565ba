#include <gtest/gtest.h>

#include <string>

#include "common/mail/address.h"
#include "common/mail/base64.h"
#include "common/mail/body.h"

namespace zen {
namespace {

std::string Bytes(std::size_t count) {
    std::string bytes;
    for (std::size_t i = 0; i < count; ++i) {
        bytes += static_cast<char>(i * 7 + 3);
    }
    return bytes;
}

// The lengths of the CR LF separated lines of `text`.
std::vector<std::size_t> LineLengths(const std::string& text) {
    std::vector<std::size_t> lengths;
    std::size_t start = 0;
    for (std::size_t end = text.find("\r\n");; end = text.find("\r\n", start)) {
        lengths.push_back((end == std::string::npos ? text.size() : end) - start);
        if (end == std::string::npos) {
            return lengths;
        }
        start = end + 2;
    }
}

TEST(Base64, EncodesTheStandardAlphabetWithFill) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},        {"f", "Zg=="},          {"fo", "Zm8="},
        {"foo", "Zm9v"}, {"foobar", "Zm9vYmFy"}, {"\xff\xfe\xfd", "//79"},
    };
    for (const auto& [input, expected] : cases) {
        EXPECT_EQ(Base64Encode(input, false), expected) << input;
        EXPECT_EQ(Base64Encode(input, true), expected) << input;
    }
}

TEST(Base64, AttachmentLinesEndAfterTheGroupThatPassesTheCounterLimit) {
    // The counter grows by 3 per group; the group that takes it above 75 (the 26th) ends
    // its line with CR LF, also when it is the last group.
    const struct {
        std::size_t bytes;
        std::string shape;  // line lengths, "|" for CR LF
    } cases[] = {
        {75, "100"},   {76, "104|"},      {77, "104|"},       {78, "104|"},
        {79, "104|4"}, {156, "104|104|"}, {157, "104|104|4"},
    };
    for (const auto& c : cases) {
        const std::string data = Bytes(c.bytes);
        const std::string encoded = Base64Encode(data, true);
        std::string shape;
        for (std::size_t start = 0; start < encoded.size();) {
            const std::size_t end = std::min(encoded.find("\r\n", start), encoded.size());
            shape += std::to_string(end - start) + (end < encoded.size() ? "|" : "");
            start = end + 2;
        }
        EXPECT_EQ(shape, c.shape) << c.bytes;
        const std::string single = Base64Encode(data, false);
        EXPECT_EQ(single.find('\r'), std::string::npos);
        std::string joined = encoded;
        std::erase(joined, '\r');
        std::erase(joined, '\n');
        EXPECT_EQ(joined, single);
    }
}

TEST(MailAddressParsing, ReadsTheKnownForms) {
    const struct {
        std::string text, name, address;
    } cases[] = {
        {"John Smith <john@example.org>", "John Smith", "john@example.org"},
        {"John<john@example.org>", "John", "john@example.org"},
        {"john@example.org", "", "john@example.org"},
        {"<john@example.org> John Smith ", "John Smith", "john@example.org"},
        {"<john@example.org> John", "John", "john@example.org"},
        {"<john@example.org>", "", "john@example.org"},
        {"John <john@example.org", "", ""},
        {"john@example.org>", "", ""},
        {"a>b<c", "", ""},
        {"Eve <eve@example.org>\r\nRCPT TO:<x@y>", "Eve", "eve@example.org"},
        {"Eve <eve@example.org\r\nDATA>", "Eve", ""},
    };
    for (const auto& c : cases) {
        const MailAddress parsed = ParseMailAddress(c.text);
        EXPECT_EQ(parsed.name, c.name) << c.text;
        EXPECT_EQ(parsed.address, c.address) << c.text;
    }
}

TEST(BodyNormalisation, EndsLinesWithCrLfAndKeepsDotLinesIntact) {
    const std::pair<std::string, std::string> cases[] = {
        {"a\nb\r\nc\rd", "a\r\nb\r\nc\r\nd"},
        {"one\n.\ntwo", "one\r\n..\r\ntwo"},
        {".\nstart", "..\r\nstart"},
        {"end\n.", "end\r\n.."},
        {"x\n.hidden\n..two", "x\r\n..hidden\r\n...two"},
        {"no dot. here\n", "no dot. here\r\n"},
        {"\n\n", "\r\n\r\n"},
    };
    for (const auto& [input, expected] : cases) {
        EXPECT_EQ(NormalizeBody(input), expected) << input;
    }
}

TEST(BodyNormalisation, BreaksLongLinesAfterTheLastBlankOrAtTheLimit) {
    const std::string word(600, 'w');
    const struct {
        std::string input;
        std::vector<std::size_t> lines;
    } cases[] = {
        {std::string(998, 'x'), {998}},
        {std::string(999, 'x'), {998, 1}},
        {std::string(2000, 'x'), {998, 998, 4}},
        {word + " " + word, {601, 600}},
        {word + " " + word + " " + word, {601, 601, 600}},
        // A cut without a blank never splits a UTF-8 sequence: 997 bytes, then "é".
        {std::string(997, 'x') + "\xc3\xa9" + "yz", {997, 4}},
    };
    for (const auto& c : cases) {
        const std::string normalised = NormalizeBody(c.input);
        EXPECT_EQ(LineLengths(normalised), c.lines) << c.input.size();
        std::string joined = normalised;
        std::erase(joined, '\r');
        std::erase(joined, '\n');
        EXPECT_EQ(joined, c.input);
    }
}

}  // namespace
}  // namespace zen
