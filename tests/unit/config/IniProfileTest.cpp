#include "config/IniProfile.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "unit/config/ConfigTestSupport.h"

namespace {

struct FindCase {
    const char* name;
    const char* text;
    const char* section;
    const char* key;
    std::optional<std::string> expected;
};

const FindCase kFindCases[] = {
    {"NamesIgnoreCase", "[basicparameters]\r\ncriterion=1\r\n", "BasicParameters", "Criterion",
     "1"},
    {"BlanksAroundNamesAndValue", "  [ S ]  \n  k  =  v w  \n", "s", "K", "v w"},
    {"ValueMayHoldEquals", "[s]\nk=a=b\n", "s", "k", "a=b"},
    {"EmptyValue", "[s]\nk=\n", "s", "k", ""},
    {"FirstKeyWins", "[s]\nk=1\nK=2\n", "s", "k", "1"},
    {"FirstSectionWins", "[s]\nx=1\n[S]\nk=2\n", "s", "k", std::nullopt},
    {"KeyOfAnotherSection", "[a]\nk=1\n[b]\n", "b", "k", std::nullopt},
    {"KeyBeforeAnySection", "k=1\n[s]\n", "s", "k", std::nullopt},
    {"MissingSection", "[a]\nk=1\n", "b", "k", std::nullopt},
    {"LastLineWithoutEnd", "[s]\r\nk=9", "s", "k", "9"},
    {"SectionLineIsNoKey", "[s]\n[k=1]\n", "s", "k=1", std::nullopt},
};

void PrintTo(const FindCase& c, std::ostream* os) {
    *os << c.name;
}

class FindValue : public ::testing::TestWithParam<FindCase> {};

TEST_P(FindValue, FindsWhatTheProfileFunctionsFind) {
    const FindCase& c = GetParam();
    EXPECT_EQ(FindProfileValue(c.text, c.section, c.key), c.expected);
}

INSTANTIATE_TEST_SUITE_P(IniProfile, FindValue, ::testing::ValuesIn(kFindCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct SetCase {
    const char* name;
    const char* before;
    const char* section;
    const char* key;
    const char* value;
    std::optional<std::string> after;
};

const SetCase kSetCases[] = {
    {"EmptyFile", "", "S", "k", "v", "[S]\r\nk=v\r\n"},
    {"ReplaceInPlaceKeepsSpellingAndOtherLines", "; top\n[s]\n  KEY = old ; x\nnext=1\n", "S",
     "key", "new", "; top\n[s]\n  KEY=new\r\nnext=1\n"},
    {"ReplaceLastLineWithoutEnd", "[s]\r\nk=1", "s", "k", "2", "[s]\r\nk=2\r\n"},
    {"AppendAfterLastKeyBeforeBlankLines", "[a]\r\nx=1\r\n\r\n\r\n[b]\r\ny=2\r\n", "A", "z", "9",
     "[a]\r\nx=1\r\nz=9\r\n\r\n\r\n[b]\r\ny=2\r\n"},
    {"AppendBeforeCommentOfNextSection", "[a]\r\nx=1\r\n; about b\r\n[b]\r\n", "a", "z", "9",
     "[a]\r\nx=1\r\nz=9\r\n; about b\r\n[b]\r\n"},
    {"AppendToSectionWithoutKeys", "[a]\r\n[b]\r\n", "a", "z", "9", "[a]\r\nz=9\r\n[b]\r\n"},
    {"AppendAfterUnterminatedLastLine", "[a]\r\nx=1", "a", "z", "9", "[a]\r\nx=1\r\nz=9\r\n"},
    {"AppendMissingSectionAtEnd", "[a]\nx=1\n\n", "b", "y", "2", "[a]\nx=1\n\n[b]\r\ny=2\r\n"},
    {"AppendSectionAfterUnterminatedLine", "[a]\r\nx=1", "b", "y", "2",
     "[a]\r\nx=1\r\n[b]\r\ny=2\r\n"},
    {"OnlyTheFirstMatchingSection", "[a]\r\n[b]\r\n[A]\r\nz=1\r\n", "a", "z", "2",
     "[a]\r\nz=2\r\n[b]\r\n[A]\r\nz=1\r\n"},
    {"RefusesLineEndInValue", "", "s", "k", "a\nb", std::nullopt},
    {"RefusesLineEndInSection", "", "s\r", "k", "v", std::nullopt},
    {"RefusesEqualsInKey", "", "s", "k=x", "v", std::nullopt},
    {"RefusesEmptyKey", "", "s", "", "v", std::nullopt},
    {"RefusesBlankEdgedKey", "", "s", " k", "v", std::nullopt},
    {"RefusesKeyLookingLikeASection", "", "s", "[k", "v]", std::nullopt},
};

void PrintTo(const SetCase& c, std::ostream* os) {
    *os << c.name;
}

class SetValue : public ::testing::TestWithParam<SetCase> {};

TEST_P(SetValue, ChangesOnlyItsLine) {
    const SetCase& c = GetParam();
    EXPECT_EQ(SetProfileValue(c.before, c.section, c.key, c.value), c.after);
    if (c.after) {
        EXPECT_EQ(FindProfileValue(*c.after, c.section, c.key), c.value);
    }
}

INSTANTIATE_TEST_SUITE_P(IniProfile, SetValue, ::testing::ValuesIn(kSetCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Key by key from nothing, as the sample writer fills a new file.
TEST(IniProfile, WritesBuildSectionsInOrder) {
    TempFolder folder;
    const auto file = folder.path() / "sample.ini";
    EXPECT_TRUE(WriteProfileString(file, "Sample_Configuration", "Time", "0102030405"));
    EXPECT_TRUE(WriteProfileString(file, "Sample_Configuration", "Source", "1"));
    EXPECT_TRUE(WriteProfileString(file, "Sample_Context", "Y0", "17000,"));
    EXPECT_TRUE(WriteProfileString(file, "Sample_Configuration", "VAmin", "-5"));
    EXPECT_TRUE(WriteProfileString(file, "sample_configuration", "source", "3"));
    EXPECT_EQ(ReadBytes(file),
              "[Sample_Configuration]\r\nTime=0102030405\r\nSource=3\r\nVAmin=-5\r\n"
              "[Sample_Context]\r\nY0=17000,\r\n");
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "sample.ini.new"));
}

TEST(IniProfile, ReadsIntegersAsTheProfileFunctionDoes) {
    TempFolder folder;
    const auto file = folder.path() / "numbers.ini";
    WriteBytes(file, "[n]\nsigned= -12abc\nempty=\nletters=abc\nbig=4000000000\nplus=+7\n");
    EXPECT_EQ(ReadProfileInt(file, "n", "signed", 99), -12);
    EXPECT_EQ(ReadProfileInt(file, "n", "empty", 99), 99);
    EXPECT_EQ(ReadProfileInt(file, "n", "letters", 99), 0);
    EXPECT_EQ(static_cast<uint32_t>(ReadProfileInt(file, "n", "big", 0)), 4000000000u);
    EXPECT_EQ(ReadProfileInt(file, "n", "plus", 0), 7);
    EXPECT_EQ(ReadProfileInt(file, "n", "missing", 99), 99);
    EXPECT_EQ(ReadProfileInt(folder.path() / "none.ini", "n", "signed", 5), 5);
}

TEST(IniProfile, StringsFitTheBufferInWholeCharacters) {
    TempFolder folder;
    const auto file = folder.path() / "text.ini";
    const std::string cut(510, 'a');
    WriteBytes(file, "[s]\nlong=" + cut + "中文\nshort=C:\\路径\\a.txt\n");
    EXPECT_EQ(ReadProfileString(file, "s", "long", ""), cut);
    EXPECT_EQ(ReadProfileString(file, "s", "short", ""), "C:\\路径\\a.txt");
    EXPECT_EQ(ReadProfileString(file, "s", "missing", "default"), "default");
    EXPECT_EQ(ReadProfileString(folder.path() / "none.ini", "s", "short", ""), "");
}

TEST(IniProfile, WriteThatCannotHappenChangesNothing) {
    TempFolder folder;
    EXPECT_FALSE(WriteProfileString(folder.path() / "no" / "such.ini", "s", "k", "v"));
    EXPECT_FALSE(WriteProfileString(folder.path(), "s", "k", "v"));

    const auto file = folder.path() / "keep.ini";
    WriteBytes(file, "[s]\nk=1\n");
    EXPECT_FALSE(WriteProfileString(file, "s", "k", "two\nlines"));
    EXPECT_EQ(ReadBytes(file), "[s]\nk=1\n");
}

}  // namespace
