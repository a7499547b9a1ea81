#include <gtest/gtest.h>

#include "MailTestHelpers.h"
#include "mail/BinHex.h"

namespace zorvik::mail {
namespace {

using namespace std::string_literals;

TEST(BinHexTest, CrcMatchesPublishedCheckValue) {
  EXPECT_EQ(Crc16Xmodem("123456789"), 0x31C3);
  // Continuing a CRC over a second piece equals one pass over both.
  EXPECT_EQ(Crc16Xmodem("6789", Crc16Xmodem("12345")), 0x31C3);
}

TEST(BinHexTest, RunLengthCoding) {
  const std::pair<std::string, std::string> runs[] = {
      {"AAA", "AAA"},  // three in a row are left alone
      {"AAAA", "A\x90\x04"s},
      {"\x90"s, "\x90\x00"s},
      {"\x90\x90"s, "\x90\x00\x90\x00"s},
      {"xBBBBBy", "xB\x90\x05y"s},
      {std::string(300, 'B'), "B\x90\xFF" "B\x90\x2D"s}};
  for (const auto& [in, out] : runs) EXPECT_EQ(BinHexRle90(in), out) << in;
}

TEST(BinHexTest, KnownEncodings) {
  const std::string intro = "(This file must be converted with BinHex 4.0)\r\n\r\n";
  EXPECT_EQ(BinHexEncode("a", ""), intro + ":!@%!2j!)!*!+cPd!N!3:\r\n");
  EXPECT_EQ(BinHexEncode("a.txt", "Hello"),
            intro + ":\"@%ZG(Kd!$q3#!#3\"38!N!54&dKPE'a[bpB!!!:\r\n");
  std::string data = "AAAAAA\x90\x90" "B"s;
  for (int i = 0; i < 60; ++i) data += static_cast<char>(i);
  EXPECT_EQ(BinHexEncode("r.bin", data),
            intro +
                ":\"A)ZBQPZ!$q3#!#3\"88!N!5q+8'3\"T!!N!\"#!!%#!`3&\"JF)#3S,$!d1$a!4%K-\r\n"
                "8&4BA'\"ND'a`G(KmJ)5)M*#8Q*bJT+LXX,5i[-$%b-c3e0MFi16SlN[3!!!:\r\n");
}

TEST(BinHexTest, DecodesBackInLinesOf64) {
  std::string data;
  for (int i = 0; i < 5000; ++i) data += static_cast<char>((i * 7919) % 251);
  data += std::string(700, '\x90') + std::string(10, 'z');
  const std::string longName(80, 'n');
  struct Case {
    std::string name, data, storedName;
  };
  for (const Case& c : {Case{"report.pdf", data, "report.pdf"},
                        Case{longName, "x", longName.substr(0, 63)}}) {
    const auto text = BinHexEncode(c.name, c.data);
    ASSERT_TRUE(text);
    EXPECT_TRUE(text->ends_with(":\r\n"));
    EXPECT_LE(test::LongestLine(*text), 64u);
    const auto decoded = test::DecodeBinHex(*text);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->name, c.storedName);
    EXPECT_TRUE(decoded->data == c.data);
    EXPECT_TRUE(decoded->resource.empty());
    EXPECT_TRUE(decoded->crcOk);
  }
}

}  // namespace
}  // namespace zorvik::mail
