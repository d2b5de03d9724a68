#include "platform/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/platform/temp_home.h"

namespace velka {
namespace {

struct LookupCase {
  const char* name;
  std::string text;
  const char* section;
  const char* key;
  std::optional<std::string> expected;
};

class FindProfileValueTest : public ::testing::TestWithParam<LookupCase> {};

TEST_P(FindProfileValueTest, FindsWhatTheProfileRulesFind) {
  const LookupCase& c = GetParam();
  EXPECT_EQ(FindProfileValue(c.text, c.section, c.key), c.expected);
}

const std::string kLong300(300, 'x');

INSTANTIATE_TEST_SUITE_P(
    Rules, FindProfileValueTest,
    ::testing::Values(
        LookupCase{"Plain", "[Parameters]\nPort=3\n", "Parameters", "Port", "3"},
        LookupCase{"CaseOfNames", "[PARAMETERS]\nport=3\n", "parameters", "PORT", "3"},
        LookupCase{"BlanksDropped", "  [ Parameters ]  \n  Port \t=  3 4 \t\n", "Parameters",
                   "Port", "3 4"},
        LookupCase{"CrLf", "[Parameters]\r\nPort=3\r\nBaudRate=9600\r\n", "Parameters", "BaudRate",
                   "9600"},
        LookupCase{"LastLineWithoutEnd", "[Parameters]\nPort=7", "Parameters", "Port", "7"},
        LookupCase{"EmptyValueIsNotMissing", "[Parameters]\nPort=\n", "Parameters", "Port", ""},
        LookupCase{"MissingKey", "[Parameters]\nPort=3\n", "Parameters", "Language", {}},
        LookupCase{"MissingSection", "[Other]\nPort=3\n", "Parameters", "Port", {}},
        LookupCase{"KeyOfAnotherSection", "[A]\nX=1\n[B]\nY=2\n", "A", "Y", {}},
        LookupCase{"KeyBeforeAnySection", "Port=3\n[Parameters]\n", "Parameters", "Port", {}},
        LookupCase{"DoubleQuotes", "[S]\nK=\" a b \"\n", "S", "K", " a b "},
        LookupCase{"SingleQuotes", "[S]\nK='x'\n", "S", "K", "x"},
        LookupCase{"OnePairOnly", "[S]\nK=\"\"x\"\"\n", "S", "K", "\"x\""},
        LookupCase{"UnmatchedQuotesKept", "[S]\nK=\"x'\n", "S", "K", "\"x'"},
        LookupCase{"LoneQuoteKept", "[S]\nK=\"\n", "S", "K", "\""},
        LookupCase{"EqualsInValue", "[S]\nK=a=b\n", "S", "K", "a=b"},
        LookupCase{"CutAt254", "[S]\nK=" + kLong300 + "\n", "S", "K", std::string(254, 'x')},
        LookupCase{"CommentLineIsNoKey", "[S]\n;K=1\nK=2\n", "S", "K", "2"},
        LookupCase{"CommentInValueKept", "[S]\nK=1 ; one\n", "S", "K", "1 ; one"},
        LookupCase{"FirstOfTwo", "[S]\nK=1\nK=2\n", "S", "K", "1"},
        LookupCase{"RepeatedSection", "[S]\nA=1\n[T]\n[S]\nK=2\n", "S", "K", "2"},
        LookupCase{"LineWithoutEquals", "[S]\nK\nK=5\n", "S", "K", "5"},
        LookupCase{"HeaderWithoutBracket", "[S\nK=1\n", "S", "K", "1"},
        LookupCase{"ByteOrderMark", "\xEF\xBB\xBF[S]\nK=1\n", "S", "K", "1"},
        LookupCase{"SingleByteText", "[S]\nK=\x80 caf\xE9\n", "S", "K", "\x80 caf\xE9"},
        LookupCase{"HugeLineSkipped", "[S]\nK=" + std::string(70 * 1024, 'y') + "\nK=ok\n", "S",
                   "K", "ok"},
        LookupCase{"NulBytesAreCharacters", std::string("[S]\nK=a\0b\n", 10), "S", "K",
                   std::string("a\0b", 3)},
        LookupCase{"EmptyText", "", "S", "K", {}}),
    [](const auto& info) { return std::string(info.param.name); });

class IniFileTest : public ::testing::Test {
 protected:
  std::string path() const { return home.root() + "/TMVSERVER.INI"; }
  TempHome home;
};

TEST_F(IniFileTest, MissingFileGivesNothingAndTheDefault) {
  EXPECT_EQ(ReadProfileString(path(), "Parameters", "Port"), std::nullopt);
  EXPECT_EQ(GetProfileString(path(), "Parameters", "Port", "1"), "1");
}

TEST_F(IniFileTest, PresentEmptyValueWinsOverTheDefault) {
  TempHome::WriteFile(path(), "[Parameters]\r\nPort=\r\n");
  EXPECT_EQ(GetProfileString(path(), "Parameters", "Port", "1"), "");
}

TEST_F(IniFileTest, WriteCreatesFileAndSectionWithCrLf) {
  ASSERT_TRUE(WriteProfileString(path(), "Parameters", "Port", "3"));
  EXPECT_EQ(TempHome::ReadFile(path()), "[Parameters]\r\nPort=3\r\n");
  ASSERT_TRUE(WriteProfileString(path(), "Other", "A", "b c"));
  EXPECT_EQ(TempHome::ReadFile(path()), "[Parameters]\r\nPort=3\r\n[Other]\r\nA=b c\r\n");
  EXPECT_EQ(ReadProfileString(path(), "other", "a"), "b c");
}

TEST_F(IniFileTest, WriteChangesOneKeyInPlaceAndKeepsEveryOtherLine) {
  TempHome::WriteFile(path(),
                      "; settings of the server\n"
                      "[Parameters]\n"
                      "DirectoryInput = C:\\Jobs\n"
                      "PORT=1\n"
                      "  ; the speed\n"
                      "BaudRate=9600\n"
                      "odd line\n"
                      "\n"
                      "[Next]\n"
                      "Port=9\n");
  ASSERT_TRUE(WriteProfileString(path(), "parameters", "Port", "4"));
  EXPECT_EQ(TempHome::ReadFile(path()),
            "; settings of the server\r\n"
            "[Parameters]\r\n"
            "DirectoryInput = C:\\Jobs\r\n"
            "PORT=4\r\n"
            "  ; the speed\r\n"
            "BaudRate=9600\r\n"
            "odd line\r\n"
            "\r\n"
            "[Next]\r\n"
            "Port=9\r\n");
}

TEST_F(IniFileTest, NewKeyGoesAtTheEndOfItsSectionBeforeTheBlankLines) {
  TempHome::WriteFile(path(), "[A]\nX=1\n\n\n[B]\nY=2\n");
  ASSERT_TRUE(WriteProfileString(path(), "A", "Z", "3"));
  EXPECT_EQ(TempHome::ReadFile(path()), "[A]\r\nX=1\r\nZ=3\r\n\r\n\r\n[B]\r\nY=2\r\n");
  EXPECT_EQ(ReadProfileString(path(), "A", "Z"), "3");
  EXPECT_EQ(ReadProfileString(path(), "B", "Y"), "2");
}

TEST_F(IniFileTest, ValuesThatWouldBreakTheFileAreRefusedAndChangeNothing) {
  TempHome::WriteFile(path(), "[S]\nK=1\n");
  const struct {
    const char* section;
    const char* key;
    const char* value;
  } refused[] = {
      {"S", "K", "2\r\nInjected=1"},
      {"S", "K", "2\n"},
      {"S\n", "K", "2"},
      {"S]", "K", "2"},
      {"S", "K=J", "2"},
      {"S", "", "2"},
      {"S", "  ", "2"},
      {"S", ";K", "2"},
      {"S", "[K", "2"},
  };
  for (const auto& r : refused) {
    EXPECT_FALSE(WriteProfileString(path(), r.section, r.key, r.value)) << r.key << r.value;
  }
  EXPECT_EQ(TempHome::ReadFile(path()), "[S]\nK=1\n");
}

TEST_F(IniFileTest, UnwritableFolderFailsAndLeavesNoTemporaryFile) {
  const std::string missing = home.root() + "/no/such/folder/x.ini";
  EXPECT_FALSE(WriteProfileString(missing, "S", "K", "1"));
  std::filesystem::create_directories(home.root() + "/a_folder.ini");
  EXPECT_FALSE(WriteProfileString(home.root() + "/a_folder.ini", "S", "K", "1"));
  EXPECT_EQ(ReadProfileString(home.root() + "/a_folder.ini", "S", "K"), std::nullopt);
  int entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(home.root())) {
    (void)e;
    ++entries;
  }
  EXPECT_EQ(entries, 1);  // only the folder made above
}

TEST_F(IniFileTest, PipeInPlaceOfTheFileDoesNotHangTheReader) {
  ASSERT_EQ(::mkfifo(path().c_str(), 0600), 0);
  EXPECT_EQ(ReadProfileString(path(), "S", "K"), std::nullopt);
  EXPECT_EQ(GetProfileString(path(), "S", "K", "d"), "d");
  EXPECT_FALSE(WriteProfileString(path(), "S", "K", "1"));
}

TEST_F(IniFileTest, OversizedFileIsNeverRewritten) {
  std::string big = "[S]\nK=1\n";
  big += std::string(17 * 1024 * 1024, 'z');
  big += "\n[T]\nK=2\n";
  TempHome::WriteFile(path(), big);
  EXPECT_EQ(ReadProfileString(path(), "S", "K"), "1");
  EXPECT_EQ(ReadProfileString(path(), "T", "K"), std::nullopt);  // beyond what is read
  EXPECT_FALSE(WriteProfileString(path(), "S", "K", "9"));
  EXPECT_EQ(std::filesystem::file_size(path()), big.size());
}

TEST_F(IniFileTest, WriteKeepsTheFileModeAndALinkToTheFile) {
  const std::string real = home.root() + "/real.ini";
  TempHome::WriteFile(real, "[S]\nK=1\n");
  ::chmod(real.c_str(), 0640);
  std::filesystem::create_symlink(real, path());
  ASSERT_TRUE(WriteProfileString(path(), "S", "K", "2"));
  EXPECT_TRUE(std::filesystem::is_symlink(path()));
  EXPECT_EQ(ReadProfileString(real, "S", "K"), "2");
  struct stat st {};
  ASSERT_EQ(::stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(IniFileTest, ReadOnlyFileIsNotRewritten) {
  TempHome::WriteFile(path(), "[S]\nK=1\n");
  ::chmod(path().c_str(), 0444);
  EXPECT_FALSE(WriteProfileString(path(), "S", "K", "2"));
  EXPECT_EQ(ReadProfileString(path(), "S", "K"), "1");
  ::chmod(path().c_str(), 0644);
  EXPECT_TRUE(WriteProfileString(path(), "S", "K", "2"));
}

}  // namespace
}  // namespace velka
