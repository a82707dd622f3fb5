// The installer's portable rules: free-space arithmetic and the default
// drive, the brand table, the folder chooser's results and the paths of the
// install sequence.
#include <gtest/gtest.h>

#include <set>

#include "installer/brand_table.h"
#include "installer/install_rules.h"

namespace {

constexpr int64_t kMiB = 1048576;

TEST(InstallRulesTest, FreeSpaceInWholeMiBAndTheDefaultDrive) {
  // A 2 TiB volume with 1.5 GiB free, all of it available to the caller.
  DiskSpaceMiB big = ToWholeMiB(1536 * kMiB, int64_t(2) << 40, 1536 * kMiB);
  EXPECT_EQ(big.free, 1536);
  EXPECT_EQ(big.total, 2 * 1024 * 1024);
  EXPECT_EQ(big.used, 2 * 1024 * 1024 - 1536);
  // Truncation toward zero, not rounding.
  EXPECT_EQ(ToWholeMiB(0, 0, 1000 * kMiB - 1).free, 999);
  // A quota: less available to the caller than free on the volume.
  EXPECT_EQ(ToWholeMiB(10 * kMiB, 100 * kMiB, 50 * kMiB).used, 90);

  EXPECT_STREQ(DefaultDrivePrefix(1000), "D:\\");
  EXPECT_STREQ(DefaultDrivePrefix(999), "C:\\");
  EXPECT_STREQ(DefaultDrivePrefix(0), "C:\\");  // a failed query leaves 0
  EXPECT_STREQ(DefaultDrivePrefix(-5), "C:\\");
}

TEST(InstallRulesTest, BrandTableKeysAndEntryCounts) {
  const int32_t keys[] = {0, 1, 2, 3, 4, 5, 7, 8, 9, 10, 11, 13, 14, 15, 16, 17, 19, 20, 21, 22, 23, 24, 25, 28, 29, 33, 34, 35};
  ASSERT_EQ(sizeof keys / sizeof keys[0], kBrandRowCount);
  std::set<int32_t> seen;
  for (size_t i = 0; i < kBrandRowCount; ++i) {
    const BrandProfile& row = kBrandProfiles[i];
    EXPECT_EQ(row.key, keys[i]);
    EXPECT_TRUE(seen.insert(row.key).second) << "duplicate key " << row.key;
    std::string folder = row.folderName;
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '\\') << row.key;
    std::string list = row.productList;
    EXPECT_NE(list.back(), '|') << row.key;
    EXPECT_EQ(list.find("||"), std::string::npos) << row.key;
    int expected = 1;
    switch (row.key) {
      case 0: expected = 22; break;
      case 1: case 8: expected = 11; break;
      case 24: expected = 16; break;
      case 25: case 28: case 29: case 33: expected = 19; break;
      case 34: case 35: expected = 20; break;
    }
    EXPECT_EQ(ProductCount(row.productList), expected) << "key " << row.key;
  }
  for (int32_t missing : {6, 12, 18, 26, 27, 30, 31, 32, -1, 36}) EXPECT_EQ(FindBrandProfile(missing), nullptr);

  const BrandProfile* own = FindBrandProfile(0);
  ASSERT_NE(own, nullptr);
  EXPECT_STREQ(own->folderName, "Vantrel软件\\");
  std::string list = own->productList;
  EXPECT_EQ(list.substr(list.rfind('|') + 1), "VantrelCorvane");
  EXPECT_EQ(ProductCount(""), 0);
  EXPECT_EQ(ProductCount(nullptr), 0);
}

TEST(InstallRulesTest, BrandSelectionErrors) {
  EXPECT_EQ(BrandSelectionError(0, 22), 0);
  EXPECT_EQ(BrandSelectionError(0, 1), 0);
  EXPECT_EQ(BrandSelectionError(0, 23), 1);
  EXPECT_EQ(BrandSelectionError(0, 0), 4);
  EXPECT_EQ(BrandSelectionError(6, 22), 1);   // no row: empty list
  EXPECT_EQ(BrandSelectionError(6, 0), 4);
  EXPECT_EQ(BrandSelectionError(34, 22), 1);  // only row 0 is long enough for 22
  EXPECT_EQ(BrandSelectionError(34, 20), 0);
}

TEST(InstallRulesTest, ChooserResults) {
  std::string spaces(260, ' ');
  EXPECT_EQ(ChosenFolder(spaces.c_str(), false, false, nullptr), "");             // cancelled
  EXPECT_EQ(ChosenFolder("Apps", true, true, "E:\\Apps"), "E:\\Apps");
  EXPECT_EQ(ChosenFolder("  Apps  ", true, true, "E:\\Apps"), "E:\\Apps");
  EXPECT_EQ(ChosenFolder("Data (E:)", true, true, "E:\\"), "E:");                 // drive root
  EXPECT_EQ(ChosenFolder("share", true, true, "\\\\server\\share"), "\\\\server\\share");  // UNC kept
  EXPECT_EQ(ChosenFolder("a?b", true, true, "E:\\a?b"), "");                      // not representable
  EXPECT_EQ(ChosenFolder("Control Panel", true, false, nullptr), "");             // no file-system path
  // "?" as the trail byte of a two-byte character is not a question mark.
  EXPECT_EQ(ChosenFolder("\x81\x3F", true, true, "E:\\x"), "E:\\x");
}

TEST(InstallRulesTest, InstallPaths) {
  EXPECT_EQ(TempArchivePath("C:\\users\\me\\Temp\\"), "C:\\users\\me\\Temp\\\\tool.zip");
  EXPECT_EQ(DriveRootArchivePath("D:\\Vantrel软件\\VantrelCorvane", 0), "D:\\tool.zip");
  EXPECT_EQ(DriveRootArchivePath("e:\\x", 3), "e:\\tool_3.zip");
  EXPECT_EQ(DriveRootArchivePath("", 0), "");
  EXPECT_EQ(ProductExePath("E:\\Apps", "VantrelCorvane"), "E:\\Apps\\VantrelCorvane.exe");
  EXPECT_EQ(CommandLineFor("D:\\Apps\\a.exe"), "D:\\Apps\\a.exe");
  EXPECT_EQ(CommandLineFor("D:\\My Apps\\a.exe"), "\"D:\\My Apps\\a.exe\"");
}

}  // namespace

namespace {

TEST(SetupArgumentsTest, SwitchesAndTheFolderThatEndsTheLine) {
  const struct {
    const char* line;
    bool silent, usage, bad;
    const char* folder;
  } kCases[] = {
      {"", false, false, false, ""},
      {"/S", true, false, false, ""},
      {"  /s  ", true, false, false, ""},
      {"/S /D=D:\\My Apps\\产品", true, false, false, "D:\\My Apps\\产品"},
      {"/S /d=C:\\x  ", true, false, false, "C:\\x"},
      {"/?", false, true, false, ""},
      {"/D=C:\\x", false, false, true, "C:\\x"},  // a folder without /S
      {"/S /D=", true, false, true, ""},
      {"/S /X", true, false, true, ""},
      {"/SS", false, false, true, ""},
      {"/S /D=C:\\a /S", true, false, false, "C:\\a /S"},  // /D= takes the rest
  };
  for (const auto& c : kCases) {
    SetupArguments a = ParseSetupArguments(c.line);
    EXPECT_EQ(a.silent, c.silent) << c.line;
    EXPECT_EQ(a.usage, c.usage) << c.line;
    EXPECT_EQ(a.bad, c.bad) << c.line;
    EXPECT_EQ(a.folder, c.folder) << c.line;
  }
}

TEST(SetupArgumentsTest, ArgumentsFollowTheProgramName) {
  EXPECT_EQ(ArgumentsAfterProgramName("setup.exe /S"), "/S");
  EXPECT_EQ(ArgumentsAfterProgramName("\"C:\\My Apps\\setup.exe\"   /S /D=x y"), "/S /D=x y");
  EXPECT_EQ(ArgumentsAfterProgramName("\"C:\\a b\\setup.exe\""), "");
  EXPECT_EQ(ArgumentsAfterProgramName("setup.exe"), "");
  EXPECT_EQ(ArgumentsAfterProgramName("\"unclosed /S"), "");
}

}  // namespace

TEST(InstallRulesTest, ClaimNamesFollowTheFolderNotItsEndingSeparators) {
  auto name = [](const std::u16string& folder) {
    return InstallClaimName(reinterpret_cast<const uint16_t*>(folder.data()), folder.size());
  };
  const std::string base = name(u"D:\\VANTREL软件\\VANTRELCORVANE");
  EXPECT_EQ(base.rfind("Local\\SkinSetup.Installing.", 0), 0u);
  EXPECT_EQ(base.size(), std::string("Local\\SkinSetup.Installing.").size() + 16);
  EXPECT_EQ(name(u"D:\\VANTREL软件\\VANTRELCORVANE\\"), base);
  EXPECT_EQ(name(u"D:\\VANTREL软件\\VANTRELCORVANE\\/"), base);
  // Every code unit counts, both of its bytes: a sibling folder, a parent and
  // a character differing only in its high byte are other folders.
  EXPECT_NE(name(u"D:\\VANTREL软件\\VANTRELCORVANF"), base);
  EXPECT_NE(name(u"D:\\VANTREL软件"), base);
  EXPECT_NE(name(u"D:\\VANTREL软仵\\VANTRELCORVANE"), base);
  EXPECT_NE(name(u"D:\\A"), name(u"D:\\\u0141"));
  // The standard FNV-1a-64 offset basis for nothing at all.
  EXPECT_EQ(name(u"\\"), "Local\\SkinSetup.Installing.CBF29CE484222325");
}
