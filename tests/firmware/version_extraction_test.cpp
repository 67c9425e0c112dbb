#include <gtest/gtest.h>

#include <string>

#include "app/getServerFwVersion.h"

namespace {

const std::string kCellTail = R"(</td><td class="style_td"><a href="fw.zip">)";

std::string row(const std::string& version) {
  return R"(<tr><td class="style_td">)" + version + kCellTail + "download</a></td></tr>\n";
}

constexpr uint32_t packed(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  return (a << 24) | (b << 16) | (c << 8) | d;
}

struct ExtractCase {
  const char* name;
  std::string body;
  uint32_t expected;
};

TEST(FirmwareVersionExtractionTest, FindsTheFirstPublishedVersion) {
  const std::vector<ExtractCase> cases = {
      {"one row", "<table>" + row("1.2.3.5") + "</table>", packed(1, 2, 3, 5)},
      {"first of several, whatever its value", row("1.0.0.9") + row("3.0.0.0"), packed(1, 0, 0, 9)},
      {"digits before the version are not part of it", "v10.20.1.2.3.4" + kCellTail, packed(1, 2, 3, 4)},
      {"leading zeros", row("01.002.0003.4"), packed(1, 2, 3, 4)},
      {"a part above 255 spills into the next", row("0.256.0.7"), packed(1, 0, 0, 7)},
      {"spilled bits are or-ed in", row("1.256.3.4"), packed(1, 0, 3, 4)},
      {"the largest part that fits", row("0.0.0.2147483647"), 2147483647u},
      {"bytes that are not text around it", std::string("\xff\xfe\x00", 3) + row("4.3.2.1"), packed(4, 3, 2, 1)},
      {"an empty page", "", 0},
      {"three parts", row("1.2.3"), 0},
      {"another cell class", "1.2.3.4</td><td class=\"other\"><a href", 0},
      {"no link in the next cell", "1.2.3.4</td><td class=\"style_td\">text", 0},
      {"a part too large for 32 bits", row("1.2.3.2147483648"), 0},
      {"a part of many digits", row("1.2.3." + std::string(40, '9')), 0},
  };
  for (const ExtractCase& c : cases) {
    EXPECT_EQ(extractFirmwareVersion(c.body), c.expected) << c.name;
  }
}

TEST(FirmwareVersionExtractionTest, CopesWithLongRunsOfDigits) {
  const std::string digits(1000000, '7');
  EXPECT_EQ(extractFirmwareVersion(digits), 0u);
  EXPECT_EQ(extractFirmwareVersion(digits + ".1.2.3" + kCellTail), 0u);
  EXPECT_EQ(extractFirmwareVersion(std::string(1000000, '0') + "1.2.3.4" + kCellTail), packed(1, 2, 3, 4));
  // Dotted digit runs that never finish a match.
  std::string dotted;
  while (dotted.size() < 1000000) {
    dotted += "1.2.3.";
  }
  EXPECT_EQ(extractFirmwareVersion(dotted), 0u);
  EXPECT_EQ(extractFirmwareVersion(dotted + "4" + kCellTail), packed(1, 2, 3, 4));
}

TEST(FirmwareVersionExtractionTest, LooksOnlyAtTheFirstPartOfAHugePage) {
  const std::string filler(kMaxFirmwarePageBytes, ' ');
  EXPECT_EQ(extractFirmwareVersion(row("1.2.3.5") + filler), packed(1, 2, 3, 5));
  EXPECT_EQ(extractFirmwareVersion(filler + row("1.2.3.5")), 0u);
  const std::string nearTheEnd = filler.substr(0, kMaxFirmwarePageBytes - 20) + "1.2.3.6" + kCellTail;
  EXPECT_EQ(extractFirmwareVersion(nearTheEnd), 0u) << "cut inside the match";
  const std::string justInside = filler.substr(0, kMaxFirmwarePageBytes - 200) + "9.8.7.6" + kCellTail;
  EXPECT_EQ(extractFirmwareVersion(justInside), packed(9, 8, 7, 6));
}

}  // namespace
