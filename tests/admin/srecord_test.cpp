// The firmware file check pass: what it accepts, what it refuses, and files made by srec_cat.
#include "admin/srecord.h"
#include "simboard.h"

#include <gtest/gtest.h>

using admintest::Bytes;
using srec::Refusal;

namespace {

srec::CheckResult checkText(const std::string &text) {
    return srec::check(QByteArray(text.data(), static_cast<qsizetype>(text.size())));
}

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

// The image the records of `result` write, placed at `base`.
Bytes assemble(const srec::CheckResult &result, std::uint32_t base, std::size_t size) {
    Bytes image(size, 0xFF);
    for (const srec::Record &r : result.records)
        for (qsizetype i = 0; i < r.data.size(); ++i)
            image.at(r.address - base + static_cast<std::size_t>(i)) = static_cast<std::uint8_t>(r.data[i]);
    return image;
}

} // namespace

TEST(SRecordCheck, ReadsDataRecordsInAnyLineEndingAndIgnoresOtherLines) {
    // CR LF, LF and CR line ends, a blank line, lower-case hex, S1/S3/S5 records, a DOS end mark, and
    // a wrong record checksum (0x00) that is not checked.
    const std::string text = "S0030000FC\r\n"
                             "\r\n"
                             "S1070060FC6215E63F\n"
                             "S2070123450a0b0cff\r"
                             "S20500ABCD1200\n"
                             "S5030004F8\r\n"
                             "S804000000FB\r\n\x1A";
    const srec::CheckResult result = checkText(text);
    ASSERT_TRUE(result.ok());
    ASSERT_EQ(result.records.size(), 2);
    EXPECT_EQ(result.records[0].address, 0x012345u);
    EXPECT_EQ(result.records[0].data, bytes({0x0A, 0x0B, 0x0C}));
    EXPECT_EQ(result.records[0].line, 4);
    EXPECT_EQ(result.records[1].address, 0x00ABCDu);
    EXPECT_EQ(result.records[1].data, bytes({0x12}));
    EXPECT_EQ(result.records[1].line, 5);
    EXPECT_EQ(result.dataBytes(), 4);

    // A record of address and checksum only carries no data; 251 data bytes is the most a count
    // byte allows.
    const auto empty = srec::parseDataRecord("S204001000EB");
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->data.isEmpty());
    const std::string longest = admintest::s2Line(0x20000, Bytes(251, 0x5A));
    ASSERT_EQ(longest.size(), 4u + 2 * 255);
    ASSERT_TRUE(
        srec::parseDataRecord(QByteArrayView(longest.data(), static_cast<qsizetype>(longest.size()))));
}

TEST(SRecordCheck, NeedsTheExactHeaderAndEndLines) {
    const std::string record = admintest::s2Line(0x4000, {1, 2, 3}) + "\n";
    struct Case {
        std::string text;
        Refusal refusal;
    };
    const Case cases[] = {
        // An S0 record carrying a module name is a valid header elsewhere, but not here.
        {"S00F000068656C6C6F202020202000003C\n" + record + "S804000000FB\n", Refusal::MissingHeader},
        {"S0030000FC \n" + record + "S804000000FB\n", Refusal::MissingHeader},
        {"s0030000fc\n" + record + "S804000000FB\n", Refusal::MissingHeader},
        {"S0030000FC\n" + record, Refusal::MissingEnd},
        {"S0030000FC\n" + record + "S9030000FC\n", Refusal::MissingEnd},
        {"", Refusal::MissingHeader},
        // Their place does not matter.
        {"S804000000FB\n" + record + "S0030000FC", Refusal::None},
    };
    for (const Case &c : cases) {
        const srec::CheckResult result = checkText(c.text);
        EXPECT_EQ(result.refusal, c.refusal) << c.text;
        if (!result.ok()) {
            EXPECT_TRUE(result.records.isEmpty());
        }
    }
}

TEST(SRecordCheck, RefusesMalformedDataRecordsAtTheirLine) {
    const char *bad[] = {
        "S2140001000102030405060708090A0B0C0D0E0FCC", // count 0x14 but 0x13 bytes follow
        "S2050001000",                                // odd number of hex digits
        "S20500010G1200",                             // address not hex
        "S2050001001Z00",                             // data not hex
        "S2X50001001200",                             // count not hex
        "S203000100",                                 // count 3: no room for a checksum
        "S2",                                         // no count, no address
        "S20400010",                                  // address cut short
    };
    for (const char *line : bad) {
        const srec::CheckResult result =
            checkText(std::string("S0030000FC\nS2050000010000\n") + line + "\nS804000000FB\n");
        EXPECT_EQ(result.refusal, Refusal::BadRecord) << line;
        EXPECT_EQ(result.line, 3) << line;
        EXPECT_TRUE(result.records.isEmpty());
    }
    // "S2" is a data record only in upper case; "s2..." is some other line.
    EXPECT_TRUE(checkText("S0030000FC\ns2XYZ\nS804000000FB\n").ok());
}

TEST(SRecordCheck, RefusesWhatIsNoTextFileOrTooLarge) {
    const std::string valid = admintest::motFile({{0x4000, {1, 2, 3, 4}}});
    EXPECT_TRUE(checkText(valid).ok());

    // A binary file, even one that holds the right lines.
    std::string binary = valid;
    binary.insert(binary.begin() + 12, '\0');
    EXPECT_EQ(checkText(binary).refusal, Refusal::NotText);
    const Bytes noise = admintest::pattern(4096, 7);
    EXPECT_EQ(srec::check(QByteArray(reinterpret_cast<const char *>(noise.data()), 4096)).refusal,
              Refusal::NotText);

    // A line longer than any record, and a file longer than any flash image.
    const srec::CheckResult longLine = checkText(valid + std::string(srec::kMaxLineChars + 1, 'S') + "\n");
    EXPECT_EQ(longLine.refusal, Refusal::LineTooLong);
    EXPECT_EQ(longLine.line, 4);
    EXPECT_EQ(checkText(valid + std::string(srec::kMaxLineChars, 'S') + "\n").refusal, Refusal::None);
    std::string huge = valid;
    while (huge.size() <= static_cast<std::size_t>(srec::kMaxFileBytes))
        huge += "S5030004F8\n";
    EXPECT_EQ(checkText(huge).refusal, Refusal::TooLarge);
}

TEST(SRecordCheck, TakesFilesMadeBySrecCat) {
    const Bytes image = admintest::pattern(6000, 3);

    // 32 data bytes per record (srec_cat's default) and 251 (the most an S2 record holds).
    const std::pair<const char *, qsizetype> layouts[] = {
        {"-address-length=3", 32}, {"-address-length=3 -obs=251 -line-length=600", 251}};
    for (const auto &[output, recordBytes] : layouts) {
        const auto file = admintest::srecCat(image, admintest::loaderInput(0x4000), output);
        ASSERT_TRUE(file) << "srec_cat (Debian package srecord) is needed";
        ASSERT_EQ(file->substr(0, 11), "S0030000FC\n");
        const srec::CheckResult result = checkText(*file);
        ASSERT_TRUE(result.ok()) << output;
        EXPECT_EQ(result.records.front().data.size(), recordBytes);
        EXPECT_EQ(assemble(result, 0x4000, image.size()), image);
        EXPECT_EQ(result.dataBytes(), static_cast<qint64>(image.size()));
    }

    // srec_cat's own header names its home page: that file is refused.
    const auto named =
        admintest::srecCat(image, "-offset 0x4000 -execution-start-address=0", "-address-length=3");
    ASSERT_TRUE(named);
    EXPECT_EQ(checkText(*named).refusal, Refusal::MissingHeader);

    // S1 or S3 records only (with the end line the loader wants added): accepted, nothing to write.
    for (const char *output : {"-address-length=2", "-address-length=4"}) {
        const auto file = admintest::srecCat(Bytes(image.begin(), image.begin() + 512), "-header ''", output);
        ASSERT_TRUE(file);
        const srec::CheckResult result = checkText(*file + "S804000000FB\n");
        EXPECT_TRUE(result.ok()) << output;
        EXPECT_TRUE(result.records.isEmpty()) << output;
    }
}
