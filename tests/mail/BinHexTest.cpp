#include <gtest/gtest.h>

#include "MailTestHelpers.h"
#include "mail/BinHex.h"

namespace zorvik::mail {
namespace {

using namespace std::string_literals;

TEST(BinHexTest, CrcMatchesPublishedCheckValue) {
  EXPECT_EQ(Crc16Xmodem("123456789"), 0x31C3);
  EXPECT_EQ(Crc16Xmodem(""), 0x0000);
  // Continuing a CRC over a second piece equals one pass over both.
  EXPECT_EQ(Crc16Xmodem("6789", Crc16Xmodem("12345")), 0x31C3);
}

TEST(BinHexTest, RunLengthCoding) {
  EXPECT_EQ(BinHexRle90("AAA"), "AAA") << "three in a row are left alone";
  EXPECT_EQ(BinHexRle90("AAAA"), "A\x90\x04"s);
  EXPECT_EQ(BinHexRle90("\x90"s), "\x90\x00"s);
  EXPECT_EQ(BinHexRle90("\x90\x90"s), "\x90\x00\x90\x00"s);
  EXPECT_EQ(BinHexRle90("xBBBBBy"), "xB\x90\x05y"s);
  EXPECT_EQ(BinHexRle90(std::string(300, 'B')), "B\x90\xFF" "B\x90\x2D"s);
}

TEST(BinHexTest, SixBitAlphabet) {
  EXPECT_EQ(BinHexSixBit("\0\0\0"s), "!!!!");
  // 0xFF: 111111 and 11 padded to 110000 (index 48).
  EXPECT_EQ(BinHexSixBit("\xFF"s), "r`");
  // 0x01 0x61 0x00: 000000 010110 000100 000000.
  EXPECT_EQ(BinHexSixBit("\x01\x61\x00"s), "!@%!");
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

TEST(BinHexTest, DecodesBackWithLinesOf64) {
  std::string data;
  for (int i = 0; i < 5000; ++i) data += static_cast<char>((i * 7919) % 251);
  data += std::string(700, '\x90') + std::string(10, 'z');
  const auto text = BinHexEncode("report.pdf", data);
  ASSERT_TRUE(text);
  std::size_t pos = text->find("\r\n\r\n") + 4;
  EXPECT_EQ((*text)[pos], ':');
  while (pos < text->size()) {
    const std::size_t end = text->find("\r\n", pos);
    ASSERT_NE(end, std::string::npos) << "every line ends with CRLF";
    EXPECT_LE(end - pos, 64u);
    pos = end + 2;
  }
  EXPECT_TRUE(text->ends_with(":\r\n"));
  const auto decoded = test::DecodeBinHex(*text);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->name, "report.pdf");
  EXPECT_EQ(decoded->data, data);
  EXPECT_TRUE(decoded->resource.empty());
  EXPECT_TRUE(decoded->crcOk);
}

TEST(BinHexTest, LongNamesAreCut) {
  const auto text = BinHexEncode(std::string(80, 'n'), "x");
  const auto decoded = test::DecodeBinHex(*text);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->name, std::string(63, 'n'));
  EXPECT_EQ(decoded->data, "x");
}

}  // namespace
}  // namespace zorvik::mail
