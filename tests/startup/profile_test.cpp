// One table of INI texts and the values the profile functions give for them. Natively it checks
// our own reader; on 32-bit Windows (under Wine) the same table runs against the real
// GetPrivateProfileIntA / GetPrivateProfileStringA, so every expectation is the real behaviour.
#include "startup/profile.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "temp_files.h"

namespace pellix {
namespace {

using namespace std::string_view_literals;

struct IniCase {
  const char* name;
  std::string_view text;  // file contents; "missing" cases write no file
  const char* section;
  const char* key;
  const char* text_result;  // string read with fallback "DEF"
  int32_t int_result;       // integer read with fallback 777
  bool missing_file = false;
};

const IniCase kCases[] = {
    {"plain", "[PHYSICS]\nGravity=1\n", "PHYSICS", "Gravity", "1", 1},
    {"section in other case", "[physics]\nGravity=1\n", "PHYSICS", "Gravity", "1", 1},
    {"key in other case", "[PHYSICS]\ngRaViTy=3\n", "PHYSICS", "Gravity", "3", 3},
    {"spaces around name and value", "[PHYSICS]\n  Gravity  =   4   \n", "PHYSICS", "Gravity", "4",
     4},
    {"tabs around name and value", "[P]\n\tK\t=\t6\t\n", "P", "K", "6", 6},
    {"spaces inside the brackets", "  [  PELLIX  ]  \nMaxPellix=5\n", "PELLIX", "MaxPellix", "5",
     5},
    {"section name with inner space", "[U V]\nB=2\n", "U V", "B", "2", 2},
    {"junk after the closing bracket", "[T] junk\nA=1\n", "T", "A", "1", 1},
    {"double-quoted value", "[S]\nK=\"2.5\"\n", "S", "K", "2.5", 2},
    {"single-quoted value", "[S]\nK='3'\n", "S", "K", "3", 3},
    {"quoted value keeps inner spaces", "[S]\nK=\" 5 \"\n", "S", "K", " 5 ", 5},
    {"spaces outside the quotes", "[S]\nK=  \"7\"  \n", "S", "K", "7", 7},
    {"mismatched quotes stay", "[S]\nK=\"4'\n", "S", "K", "\"4'", 0},
    {"lone quote stays", "[S]\nK=\"\n", "S", "K", "\"", 0},
    {"empty quotes are empty", "[S]\nK=\"\"\n", "S", "K", "", 777},
    {"quotes at both ends only", "[S]\nK=\"a\" b\"\n", "S", "K", "a\" b", 0},
    {"empty value", "[S]\nK=\n", "S", "K", "", 777},
    {"key without equals sign", "[S]\nK\n", "S", "K", "DEF", 777},
    {"key without equals sign hides a later one", "[S]\nK\nK=5\n", "S", "K", "DEF", 777},
    {"empty key name", "[S]\n=5\n", "S", "", "5", 5},
    {"equals sign in the value", "[S]\nK = a=b\n", "S", "K", "a=b", 0},
    {"semicolon line is a key, not a comment", "[S]\n;K=1\n", "S", ";K", "1", 1},
    {"semicolon line does not give the bare key", "[S]\n;K=1\n", "S", "K", "DEF", 777},
    {"indented semicolon line", "[S]\n ;K=4\n", "S", ";K", "4", 4},
    {"hash line is a key", "[S]\n# K=2\n", "S", "# K", "2", 2},
    {"semicolon after the value belongs to it", "[S]\nK=5 ; note\n", "S", "K", "5 ; note", 5},
    {"first of duplicate keys", "[S]\nK=1\nK=2\n", "S", "K", "1", 1},
    {"only the first of duplicate sections", "[S]\nA=1\n[S]\nB=2\nA=3\n", "S", "A", "1", 1},
    {"second duplicate section unseen", "[S]\nA=1\n[S]\nB=2\n", "S", "B", "DEF", 777},
    {"duplicate section in other case unseen", "[G]\nT=7\n[g]\nU=8\n", "G", "U", "DEF", 777},
    {"keys before any section", "K0=before\n[S]\nK=1\n", "", "K0", "before", 0},
    {"section without closing bracket is a key line", "[A]\n[B\nK=9\n", "A", "K", "9", 9},
    {"trailing junk after a number", "[S]\nK=12abc\n", "S", "K", "12abc", 12},
    {"words after a number", "[S]\nK=12 34\n", "S", "K", "12 34", 12},
    {"yes is not a number", "[S]\nK=yes\n", "S", "K", "yes", 0},
    {"negative", "[S]\nK=-5\n", "S", "K", "-5", -5},
    {"plus sign", "[S]\nK=+7\n", "S", "K", "+7", 7},
    {"space after the sign", "[S]\nK=-  8\n", "S", "K", "-  8", 0},
    {"two signs", "[S]\nK=+-3\n", "S", "K", "+-3", 0},
    {"sign alone", "[S]\nK=-\n", "S", "K", "-", 0},
    {"leading zeros are decimal", "[S]\nK=00012\n", "S", "K", "00012", 12},
    {"hexadecimal prefix", "[S]\nK=0x10\n", "S", "K", "0x10", 16},
    {"negative hexadecimal", "[S]\nK=-0x10\n", "S", "K", "-0x10", -16},
    {"upper-case X is no prefix", "[S]\nK=0X1f\n", "S", "K", "0X1f", 0},
    {"octal prefix", "[S]\nK=0o17\n", "S", "K", "0o17", 15},
    {"binary prefix", "[S]\nK=0b101\n", "S", "K", "0b101", 5},
    {"prefix without digits", "[S]\nK=0x\n", "S", "K", "0x", 0},
    {"decimal point ends an integer", "[S]\nK=2.9\n", "S", "K", "2.9", 2},
    {"2^31 wraps negative", "[S]\nK=2147483648\n", "S", "K", "2147483648", INT32_MIN},
    {"huge wraps modulo 2^32", "[S]\nK=99999999999\n", "S", "K", "99999999999", 1215752191},
    {"2^32 + 1 wraps to 1", "[S]\nK=4294967297\n", "S", "K", "4294967297", 1},
    {"below -2^31 wraps", "[S]\nK=-2147483649\n", "S", "K", "-2147483649", 2147483647},
    {"long hexadecimal wraps", "[S]\nK=0xfffffffff\n", "S", "K", "0xfffffffff", -1},
    {"integer reads only 29 chars", "[S]\nK=1234567890123456789012345678901234567\n", "S", "K",
     "1234567890123456789012345678901234567", 1849262357},
    {"missing key", "[S]\nK=1\n", "S", "Other", "DEF", 777},
    {"missing section", "[S]\nK=1\n", "T", "K", "DEF", 777},
    {"key of another section", "[S]\nK=1\n[T]\nL=2\n", "S", "L", "DEF", 777},
    {"no final line end", "[S]\nK=9", "S", "K", "9", 9},
    {"CRLF line ends", "[A]\r\nK=1\r\nL = 2 \r\n", "A", "L", "2", 2},
    {"CR alone ends a line", "[S]\nA=4\rB=5\r\n", "S", "B", "5", 5},
    {"value before a lone CR", "[S]\nA=4\rB=5\r\n", "S", "A", "4", 4},
    {"byte-order mark", "\xEF\xBB\xBF[S]\nA=1\n", "S", "A", "1", 1},
    {"empty file", "", "S", "A", "DEF", 777},
    {"blank lines and spaces", "\n   \n[S]\n\n  \nA=3\n\n", "S", "A", "3", 3},
    {"NUL ends the value", "[S]\nA=1\0002\nB=3\n"sv, "S", "A", "1", 1},
    {"line after a NUL is read", "[S]\nA=1\0002\nB=3\n"sv, "S", "B", "3", 3},
    {"last closing bracket ends the name", "[a]b]\nK=1\n", "a]b", "K", "1", 1},
    {"only spaces after the equals sign", "[S]\nK=   \n", "S", "K", "", 777},
    {"Ctrl-Z counts as white space", "[S]\nK=5\x1a\n", "S", "K", "5", 5},
    {"section line with a key after it", "[S] K=1\nK=2\n", "S", "K", "2", 2},
    {"no-break space is not white space",
     "[S]\nK=\xa0"
     "5\xa0\n",
     "S", "K",
     "\xa0"
     "5\xa0",
     0},
    {"indented by a no-break space", "[S]\n\xa0K=6\n", "S", "K", "DEF", 777},
    {"key name with inner space", "[S]\nMy Key = 7\n", "S", "My Key", "7", 7},
    {"empty key with an empty value", "[S]\n  =  \n=5\n", "S", "", "", 777},
    {"missing file", "", "S", "A", "DEF", 777, true},
};

class ProfileTable : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { folder_ = testing::ScratchFolder("profile"); }
  static std::filesystem::path folder_;
};
std::filesystem::path ProfileTable::folder_;

TEST_F(ProfileTable, EveryCaseGivesTheRealFunctionsResults) {
  const ProfileReader profile = SystemProfile();
  int index = 0;
  for (const IniCase& c : kCases) {
    SCOPED_TRACE(c.name);
    const auto file = folder_ / ("case" + std::to_string(index++) + ".ini");
    if (!c.missing_file) testing::WriteBytes(file, c.text);
    const std::string path = file.string();
    char text[1024];
    const uint32_t length =
        profile.readString(c.section, c.key, "DEF", text, sizeof text, path.c_str());
    EXPECT_STREQ(text, c.text_result);
    EXPECT_EQ(length, std::string_view(c.text_result).size());
    EXPECT_EQ(profile.readInt(c.section, c.key, 777, path.c_str()), c.int_result);
  }
}

TEST_F(ProfileTable, StringsAreCutToTheBuffer) {
  const ProfileReader profile = SystemProfile();
  const auto file = folder_ / "cut.ini";
  testing::WriteBytes(file, "[S]\nK=abcdefgh\nP=\"abc\"\nQ=\"abcd\"\nR=\"abcdefgh\"\n");
  const std::string path = file.string();
  char text[5];
  EXPECT_EQ(profile.readString("S", "K", "DEF", text, sizeof text, path.c_str()), 4u);
  EXPECT_STREQ(text, "abcd");
  // A quoted value that fits with its closing quote loses both quotes.
  EXPECT_EQ(profile.readString("S", "P", "DEF", text, sizeof text, path.c_str()), 3u);
  EXPECT_STREQ(text, "abc");
  // When only the text fits, the cut drops the closing quote and then the last char as well.
  EXPECT_EQ(profile.readString("S", "Q", "DEF", text, sizeof text, path.c_str()), 3u);
  EXPECT_STREQ(text, "abc");
  // One that does not fit keeps its cut text after the opening quote.
  EXPECT_EQ(profile.readString("S", "R", "DEF", text, sizeof text, path.c_str()), 4u);
  EXPECT_STREQ(text, "abcd");
  EXPECT_EQ(profile.readString("S", "Missing", "fallback", text, sizeof text, path.c_str()), 4u);
  EXPECT_STREQ(text, "fall");
}

TEST_F(ProfileTable, LongValuesReadWhole) {
  const ProfileReader profile = SystemProfile();
  const auto file = folder_ / "long.ini";
  const std::string value(1500, '7');
  testing::WriteBytes(file, "[S]\nK=" + value + "\nL=3\n");
  const std::string path = file.string();
  char text[1024];
  EXPECT_EQ(profile.readString("S", "K", "DEF", text, sizeof text, path.c_str()), 1023u);
  EXPECT_EQ(std::string(text), value.substr(0, 1023));
  EXPECT_EQ(profile.readInt("S", "L", 777, path.c_str()), 3);
}

}  // namespace
}  // namespace pellix
