// Splitting of parameter text into numbers.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "protocol/EscSeqParser.h"

namespace {

struct ExtractCase {
  const char* params;
  int maxCount;
  int expectedCount;
  std::vector<int> expectedValues;
};

TEST(ParamExtractionTest, SplitsFieldsSkipsEmptyOnesAndStopsAtMaxCount) {
  const ExtractCase cases[] = {
      {"", 4, 0, {}},
      {"7", 4, 1, {7}},
      {"1;;3", 4, 2, {1, 3}},
      {"5;", 4, 1, {5}},
      {";;", 4, 0, {}},
      {";5", 4, 1, {5}},
      {"5>3", 4, 1, {5}},
      {"12>;4", 4, 2, {12, 4}},
      {"1;2;3", 2, 2, {1, 2}},
      {"1;2;3;4;5;6;7;8;9", 8, 8, {1, 2, 3, 4, 5, 6, 7, 8}},
      {"0", 1, 1, {0}},
      {"000000000000000000000042", 1, 1, {42}},
      {"2147483647", 1, 1, {INT_MAX}},
      // Fields past the count are not looked at, whatever they hold.
      {"1;2;99999999999", 2, 2, {1, 2}},
      {"1;>5", 1, 1, {1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("params \"") + c.params + "\" max " + std::to_string(c.maxCount));
    std::vector<int> values(static_cast<size_t>(c.maxCount) + 1, -7);
    int count = EscSeqParser::ExtractParamString(c.params, values.data(), c.maxCount);
    ASSERT_EQ(count, c.expectedCount);
    for (int i = 0; i < count; ++i) EXPECT_EQ(values[i], c.expectedValues[i]) << "value " << i;
    for (size_t i = count; i < values.size(); ++i) EXPECT_EQ(values[i], -7) << "slot " << i << " was written";
  }
}

TEST(ParamExtractionTest, RefusesFieldsThatHoldNoNumberOrTooLargeANumber) {
  const char* refused[] = {
      "2147483648", "99999999999", "1;4294967296", "18446744073709551617",
      ">5",         "1;>5",        ">",            "3;;>",
  };
  for (const char* params : refused) {
    SCOPED_TRACE(params);
    int values[4] = {0, 0, 0, 0};
    EXPECT_EQ(EscSeqParser::ExtractParamString(params, values, 4), -1);
  }
}

TEST(ParamExtractionTest, NonPositiveMaxCountReadsNothing) {
  int values[1] = {-7};
  EXPECT_EQ(EscSeqParser::ExtractParamString("1;2", values, 0), 0);
  EXPECT_EQ(EscSeqParser::ExtractParamString("1;2", values, -3), 0);
  EXPECT_EQ(EscSeqParser::ExtractParamString("1;2", nullptr, 0), 0);
  EXPECT_EQ(values[0], -7);
}

TEST(ParamExtractionTest, LongDigitRunOfZerosStillConverts) {
  std::string params(10000, '0');
  params += "9;";
  params += std::string(5000, '0');
  int values[2] = {-1, -1};
  ASSERT_EQ(EscSeqParser::ExtractParamString(params, values, 2), 2);
  EXPECT_EQ(values[0], 9);
  EXPECT_EQ(values[1], 0);
}

}  // namespace
