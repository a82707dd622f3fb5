// The shell library's portable rules: the shortcut file's name.
#include <gtest/gtest.h>

#include <string>

#include "payload/shell_rules.h"

namespace {

TEST(ShellRulesTest, LinkFileNames) {
  EXPECT_EQ(LinkFileName("C:\\users\\me\\Desktop\\VantrelCorvane"), "C:\\users\\me\\Desktop\\VantrelCorvane.lnk");
  EXPECT_EQ(LinkFileName("C:\\users\\j.smith\\Desktop\\VantrelCorvane"),
            "C:\\users\\j.smith\\Desktop\\VantrelCorvane.lnk");  // "." only in a folder part
  EXPECT_EQ(LinkFileName("C:\\Desktop\\App.lnk"), "C:\\Desktop\\App.lnk");
  EXPECT_EQ(LinkFileName("C:\\Desktop\\App 1.5"), "C:\\Desktop\\App 1.5");  // has a "." already
  EXPECT_EQ(LinkFileName(std::string(255, 'a')), std::string(255, 'a') + ".lnk");
  EXPECT_EQ(LinkFileName(std::string(256, 'a')), "");  // would not fit 260 bytes
}

}  // namespace
