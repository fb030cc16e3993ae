#include "ui/settings_file.h"

#include <gtest/gtest.h>

#include <string>

#include "settings_test_files.h"

namespace {

class SettingsFileTest : public ::testing::Test {
 protected:
  // Loads text as a settings file and returns the key's value, or "<none>".
  std::string ValueIn(const std::string& text, const std::string& key) {
    WriteBytes(path_, text);
    SettingsFile file(path_);
    EXPECT_TRUE(file.Load());
    return file.GetString(key).value_or("<none>");
  }
  // Writes text, puts key=value, and returns the file's bytes afterwards.
  std::string AfterPut(const std::string& text, const std::string& key, const std::string& value,
                       int expected_count) {
    WriteBytes(path_, text);
    SettingsFile file(path_);
    EXPECT_EQ(file.Put(key, value), expected_count);
    return ReadBytes(path_);
  }

  ScratchDirectory dir_;
  std::string path_ = dir_.File("quillo.ini");
};

TEST_F(SettingsFileTest, LoadFailsOnlyForAMissingFile) {
  SettingsFile missing(dir_.File("absent.ini"));
  EXPECT_FALSE(missing.Load());
  EXPECT_FALSE(std::filesystem::exists(dir_.File("absent.ini")));  // nothing created
  WriteBytes(path_, "");
  SettingsFile empty(path_);
  EXPECT_TRUE(empty.Load());
  EXPECT_TRUE(empty.Items().empty());
}

TEST_F(SettingsFileTest, TrimsExactlyTheDocumentedBlanks) {
  EXPECT_EQ(ValueIn("ScreenName = Ann # me\n", "ScreenName"), "Ann");
  EXPECT_EQ(ValueIn("ScreenName = Ann Lee # me\n", "ScreenName"), "Ann Lee # me");
  // Two leading blanks: the line loses one, the key the other.
  EXPECT_EQ(ValueIn("  ScreenName=Bob\n", "ScreenName"), "Bob");
  // Here the key keeps a trailing blank and so is not found.
  EXPECT_EQ(ValueIn("  ScreenName = Bob\n", "ScreenName"), "<none>");
  // The first blank of the key goes, wherever it stands.
  EXPECT_EQ(ValueIn("Screen Name=Bob\n", "ScreenName"), "Bob");
  // Only one leading blank of the value goes; trailing blanks and tabs stay.
  EXPECT_EQ(ValueIn("ScreenName=  Bob \n", "ScreenName"), " Bob ");
  EXPECT_EQ(ValueIn("ScreenName=\tBob\n", "ScreenName"), "\tBob");
  EXPECT_EQ(ValueIn("ScreenName=\n", "ScreenName"), "");
  // Everything after the first "=" is the value.
  EXPECT_EQ(ValueIn("MailServer=a=b\n", "MailServer"), "a=b");
}

TEST_F(SettingsFileTest, SkipsCommentsAndLinesWithoutSeparator) {
  std::string text =
      "#ScreenName=Commented\r\n"
      " # ScreenName=AlsoCommented\r\n"
      "[Section]\r\n"
      "\r\n"
      "ScreenName\r\n"
      "ScreenName=Real\r\n";
  EXPECT_EQ(ValueIn(text, "ScreenName"), "Real");
  SettingsFile file(path_);
  ASSERT_TRUE(file.Load());
  EXPECT_EQ(file.Items().size(), 2u);
}

TEST_F(SettingsFileTest, LineEndsAtFirstCarriageReturnOrLineFeed) {
  EXPECT_EQ(ValueIn("A=1\r\nB=2\nC=3", "B"), "2");
  EXPECT_EQ(ValueIn("A=1\r\nB=2\nC=3", "C"), "3");  // last line without line end
  EXPECT_EQ(ValueIn("A=one\rtwo\n", "A"), "one");
}

TEST_F(SettingsFileTest, KeysAreCaseSensitiveAndFirstOccurrenceWins) {
  std::string text = "screenname=lower\nScreenName=First\nScreenName=Second\n";
  EXPECT_EQ(ValueIn(text, "ScreenName"), "First");
  EXPECT_EQ(ValueIn(text, "SCREENNAME"), "<none>");
}

TEST_F(SettingsFileTest, ValueSpellingAKeyIsNotTakenForThatKey) {
  // Items run Alias, ScreenName, ScreenName, Bob: only key items may match.
  EXPECT_EQ(ValueIn("Alias=ScreenName\nScreenName=Bob\n", "ScreenName"), "Bob");
  EXPECT_EQ(ValueIn("Alias=ScreenName\n", "ScreenName"), "<none>");
}

TEST_F(SettingsFileTest, GetIntConvertsLikeAtoi) {
  WriteBytes(path_,
             "A=  42abc\nB=-17\nC=+5\nD=abc\nE=\nF=99999999999\nG=-99999999999\nH=\t7\n"
             "I= 65535 # port\n");
  SettingsFile file(path_);
  ASSERT_TRUE(file.Load());
  EXPECT_EQ(file.GetInt("A"), 42);
  EXPECT_EQ(file.GetInt("B"), -17);
  EXPECT_EQ(file.GetInt("C"), 5);
  EXPECT_EQ(file.GetInt("D"), 0);
  EXPECT_EQ(file.GetInt("E"), 0);
  EXPECT_EQ(file.GetInt("F"), INT32_MAX);
  EXPECT_EQ(file.GetInt("G"), INT32_MIN);
  EXPECT_EQ(file.GetInt("H"), 7);
  EXPECT_EQ(file.GetInt("I"), 65535);
  EXPECT_EQ(file.GetInt("Missing"), 0);
}

TEST_F(SettingsFileTest, PutRewritesTheLineWithCrLfAndNoBlanks) {
  EXPECT_EQ(AfterPut("A=1\nScreenName = Bob\nB=2\n", "ScreenName", "Ann", 1),
            "A=1\r\nScreenName=Ann\r\nB=2\r\n");
}

TEST_F(SettingsFileTest, PutRewritesEveryOccurrence) {
  EXPECT_EQ(AfterPut("ScreenName=A\r\nX=1\r\nScreenName=B\r\n", "ScreenName", "C", 2),
            "ScreenName=C\r\nX=1\r\nScreenName=C\r\n");
}

TEST_F(SettingsFileTest, PutLeavesLongerNamesAlone) {
  // The key followed by neither blank nor "=" is another key.
  EXPECT_EQ(AfterPut("MailServerPortNumber=25\r\n", "MailServer", "smtp.example.org", 1),
            "MailServerPortNumber=25\r\nMailServer=smtp.example.org\r\n");
  // The key as the tail of a longer name is another key too.
  EXPECT_EQ(AfterPut("OldScreenName=Bob\r\n", "ScreenName", "Ann", 1),
            "OldScreenName=Bob\r\nScreenName=Ann\r\n");
  EXPECT_EQ(AfterPut("Old ScreenName=Bob\r\n", "ScreenName", "Ann", 1),
            "Old ScreenName=Bob\r\nScreenName=Ann\r\n");
  // Nor is a key that stands in another entry's value.
  EXPECT_EQ(AfterPut("Note=ScreenName=x\r\n", "ScreenName", "Ann", 1),
            "Note=ScreenName=x\r\nScreenName=Ann\r\n");
}

TEST_F(SettingsFileTest, PutRewritesKeyAfterOneBlankOrCommentCharacter) {
  EXPECT_EQ(AfterPut(" ScreenName=Bob\r\n", "ScreenName", "Ann", 1), " ScreenName=Ann\r\n");
  EXPECT_EQ(AfterPut("#ScreenName = yours\r\n", "ScreenName", "Ann", 1), "#ScreenName=Ann\r\n");
  EXPECT_EQ(AfterPut(" #ScreenName yours =\r\n", "ScreenName", "Ann", 1), " #ScreenName=Ann\r\n");
  // Without any "=" on the line it is no entry.
  EXPECT_EQ(AfterPut("ScreenName Bob\r\n", "ScreenName", "Ann", 1),
            "ScreenName Bob\r\nScreenName=Ann\r\n");
}

TEST_F(SettingsFileTest, PutKeepsOtherLinesByteForByte) {
  std::string text = "[Old]\r\n# note = x\r\n\r\n\tTab=1\r\nA=one\rtwo\r\nScreenName=Bob\r\n";
  EXPECT_EQ(AfterPut(text, "ScreenName", "Ann", 1),
            "[Old]\r\n# note = x\r\n\r\n\tTab=1\r\nA=one\rtwo\r\nScreenName=Ann\r\n");
}

TEST_F(SettingsFileTest, RewrittenFileEndsWithOneCrLf) {
  // LF-only input, a last line without line end, and trailing empty lines.
  EXPECT_EQ(AfterPut("A=1\nB=2", "B", "3", 1), "A=1\r\nB=3\r\n");
  EXPECT_EQ(AfterPut("A=1\r\n\r\n", "A", "2", 1), "A=2\r\n\r\n");
  EXPECT_EQ(AfterPut("A=1\r\n\r", "A", "2", 1), "A=2\r\n");
  // Bytes after a NUL are invisible to the reader but kept by the writer.
  EXPECT_EQ(AfterPut(std::string("A=1\r\n\0x", 7), "A", "2", 1),
            std::string("A=2\r\n\0x\r\n", 9));
}

TEST_F(SettingsFileTest, PutKeepsContinuationLinesIntact) {
  // A value ending in a backslash must not take the next entry with it.
  std::string text = "HomeDirectory=/home/ann/quillo\\\r\nScreenName=Bob\r\nZ=1\\\r\n";
  EXPECT_EQ(AfterPut(text, "HomeDirectory", "/srv/quillo", 1),
            "HomeDirectory=/srv/quillo\r\nScreenName=Bob\r\nZ=1\\\r\n");
  EXPECT_EQ(AfterPut(text, "ScreenName", "Ann", 1),
            "HomeDirectory=/home/ann/quillo\\\r\nScreenName=Ann\r\nZ=1\\\r\n");
  // A last line ending in a backslash is kept, with or without a line end.
  EXPECT_EQ(AfterPut("A=1\r\nB=c:\\", "A", "2", 1), "A=2\r\nB=c:\\\r\n");
}

TEST_F(SettingsFileTest, LongLinesAreNeitherSplitNorCorrupted) {
  std::string long_value(3000, 'x');
  long_value += "ScreenName=Tail";  // would become an entry if the line were cut
  std::string text = "Long=" + long_value + "\r\nScreenName=Bob\r\n";
  EXPECT_EQ(ValueIn(text, "Long"), long_value);
  EXPECT_EQ(ValueIn(text, "ScreenName"), "Bob");
  EXPECT_EQ(AfterPut(text, "ScreenName", "Ann", 1),
            "Long=" + long_value + "\r\nScreenName=Ann\r\n");
  std::string long_entry = "ScreenName=" + std::string(2000, 'y');
  EXPECT_EQ(AfterPut(long_entry + "\r\n", "ScreenName", "Ann", 1), "ScreenName=Ann\r\n");
}

TEST_F(SettingsFileTest, PutAppendsWhenNoLineHoldsTheKey) {
  EXPECT_EQ(AfterPut("A=1\r\n", "B", "2", 1), "A=1\r\nB=2\r\n");
  // A last line without line end is ended first, not joined to the entry.
  EXPECT_EQ(AfterPut("A=1", "B", "2", 1), "A=1\r\nB=2\r\n");
  EXPECT_EQ(AfterPut("A=1\r", "B", "2", 1), "A=1\r\nB=2\r\n");
  EXPECT_EQ(AfterPut("", "B", "2", 1), "B=2\r\n");
}

TEST_F(SettingsFileTest, PutOnMissingFileCreatesIt) {
  SettingsFile file(path_);
  EXPECT_EQ(file.PutInt("MainFrameWidth", -640), 1);
  EXPECT_EQ(ReadBytes(path_), "MainFrameWidth=-640\r\n");
  SettingsFile nowhere(dir_.File("no/such/dir/quillo.ini"));
  EXPECT_EQ(nowhere.Put("A", "1"), 0);
}

TEST_F(SettingsFileTest, ItemsFollowTheFileAfterPut) {
  WriteBytes(path_, "ScreenName=Bob\r\n");
  SettingsFile file(path_);
  ASSERT_TRUE(file.Load());
  file.Put("ScreenName", "Ann");
  file.Put("MailServer", "mail");
  EXPECT_EQ(file.GetString("ScreenName").value_or(""), "Ann");
  EXPECT_EQ(file.GetString("MailServer").value_or(""), "mail");
  EXPECT_EQ(file.Items().size(), 4u);
}

TEST_F(SettingsFileTest, ReloadStartsFromAnEmptyList) {
  WriteBytes(path_, "A=1\r\n");
  SettingsFile file;
  ASSERT_TRUE(file.Load(path_));
  ASSERT_TRUE(file.Load());  // Load appends
  EXPECT_EQ(file.Items().size(), 4u);
  WriteBytes(path_, "A=2\r\n");
  ASSERT_TRUE(file.Reload());
  EXPECT_EQ(file.Items().size(), 2u);
  EXPECT_EQ(file.GetString("A").value_or(""), "2");
}

}  // namespace
