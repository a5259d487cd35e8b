// The firmware file check pass: what it accepts, what it refuses (at which line), and files made by
// srec_cat.
#include "admin/firmwareupdate.h"
#include "admin/srecord.h"
#include "simboard.h"

#include <gtest/gtest.h>

using admintest::Bytes;
using srec::Refusal;

namespace {

// The flash of an update without, or with, the data area.
srec::CheckResult checkText(const std::string &text, bool dataArea = false) {
    return srec::check(QByteArray(text.data(), static_cast<qsizetype>(text.size())),
                       firmware::erasedAreas(dataArea));
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
    // CR LF, LF and CR line ends, a blank line, lower-case hex, S5/S7/S9 records, a DOS end mark, a
    // wrong record checksum (0x00) that is not checked and a record without data bytes.
    const std::string text = "S0030000FC\r\n"
                             "\r\n"
                             "S2070123450a0b0cff\r"
                             "S20500ABCD1200\n"
                             "S204001000EB\n"
                             "S5030004F8\r\n"
                             "S70500000000FA\n"
                             "S9030000FC\n"
                             "S804000000FB\r\n\x1A";
    const srec::CheckResult result = checkText(text);
    ASSERT_TRUE(result.ok());
    ASSERT_EQ(result.records.size(), 3);
    EXPECT_EQ(result.records[0].address, 0x012345u);
    EXPECT_EQ(result.records[0].data, bytes({0x0A, 0x0B, 0x0C}));
    EXPECT_EQ(result.records[0].line, 3);
    EXPECT_EQ(result.records[1].address, 0x00ABCDu);
    EXPECT_EQ(result.records[1].data, bytes({0x12}));
    EXPECT_EQ(result.records[1].line, 4);
    EXPECT_TRUE(result.records[2].data.isEmpty());
    EXPECT_EQ(result.dataBytes(), 4);

    // 251 data bytes is the most a count byte allows.
    const std::string longest = admintest::s2Line(0x1FF00, Bytes(251, 0x5A));
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
}

// Records the boot loader would not get, or not get right: refused at their line, with the bytes
// concerned. The flash of an update is the program area 0x000000-0x01FFFF, and the data area
// 0x0F0000-0x0FFFFF when it is erased too. (hbctl's tests name every reason in its words.)
TEST(SRecordCheck, RefusesWhatTheLoaderWouldNotTake) {
    const auto file = [](const std::vector<std::string> &lines) {
        std::string text = "S0030000FC\n" + admintest::s2Line(0x1000, Bytes(16, 1)) + "\n";
        for (const std::string &line : lines)
            text += line + "\n";
        return text + "S804000000FB\n";
    };
    struct Case {
        std::string text;
        bool dataArea;
        Refusal refusal;
        int line;
        std::uint32_t first, last; // the bytes named, for Overlap and OutsideFlash
        int earlierLine;
    };
    const Case cases[] = {
        // A data record in lower case; a file of records without data bytes.
        {file({"s2050020001200"}), false, Refusal::OtherDataRecord, 3, 0, 0, 0},
        {"S0030000FC\nS204001000EB\nS804000000FB\n", false, Refusal::NoData, 0, 0, 0, 0},
        // Bytes written again in part, by a later line, after records that only touch.
        {file({admintest::s2Line(0x2000, Bytes(8, 2)), admintest::s2Line(0x0FF8, Bytes(9, 3))}), false,
         Refusal::Overlap, 4, 0x1000, 0x1000, 2},
        {file({admintest::s2Line(0x1010, Bytes(4, 2)), admintest::s2Line(0x0FFC, Bytes(4, 3)),
               admintest::s2Line(0x1012, Bytes(1, 4))}),
         false, Refusal::Overlap, 5, 0x1012, 0x1012, 3},
        // Across the gap before the data area, and past the end of the 24-bit addresses.
        {file({admintest::s2Line(0xEFFFF, Bytes(2, 5))}), true, Refusal::OutsideFlash, 3, 0xEFFFF, 0xF0000,
         0},
        {file({admintest::s2Line(0xFFFFF0, Bytes(32, 5))}), true, Refusal::OutsideFlash, 3, 0xFFFFF0,
         0x100000F, 0},
        // Passing: both ends of both areas when the data area is erased too.
        {file({admintest::s2Line(0xFFFF0, Bytes(16, 5)), admintest::s2Line(0x1FFF0, Bytes(16, 5)),
               admintest::s2Line(0xF0000, Bytes(16, 5)), admintest::s2Line(0, Bytes(16, 5))}),
         true, Refusal::None, 0, 0, 0, 0},
    };
    for (const Case &c : cases) {
        const srec::CheckResult result = checkText(c.text, c.dataArea);
        EXPECT_EQ(result.refusal, c.refusal) << c.text;
        EXPECT_EQ(result.line, c.line) << c.text;
        if (c.refusal == Refusal::Overlap || c.refusal == Refusal::OutsideFlash) {
            EXPECT_EQ(result.bytes.first, c.first) << c.text;
            EXPECT_EQ(result.bytes.last, c.last) << c.text;
            EXPECT_EQ(result.earlierLine, c.earlierLine) << c.text;
        }
        EXPECT_EQ(result.records.isEmpty(), !result.ok()) << c.text;
    }
}

TEST(SRecordCheck, RefusesWhatIsNoTextFileOrTooLarge) {
    const std::string valid = admintest::motFile({{0x4000, {1, 2, 3, 4}}});
    EXPECT_TRUE(checkText(valid).ok());

    // A binary file, even one that holds the right lines.
    std::string binary = valid;
    binary.insert(binary.begin() + 12, '\0');
    EXPECT_EQ(checkText(binary).refusal, Refusal::NotText);
    const Bytes noise = admintest::pattern(4096, 7);
    EXPECT_EQ(checkText(std::string(noise.begin(), noise.end())).refusal, Refusal::NotText);

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

    // S1 or S3 records only (with the end line the loader wants added): refused at the first.
    for (const char *output : {"-address-length=2", "-address-length=4"}) {
        const auto file = admintest::srecCat(Bytes(image.begin(), image.begin() + 512), "-header ''", output);
        ASSERT_TRUE(file);
        const srec::CheckResult result = checkText(*file + "S804000000FB\n");
        EXPECT_EQ(result.refusal, Refusal::OtherDataRecord) << output;
        EXPECT_EQ(result.line, 2) << output;
    }
}
