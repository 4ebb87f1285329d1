#include <gtest/gtest.h>

#include "env_rewrite.hpp"
#include "fake_platform.hpp"
#include "native_text.hpp"

namespace neb::app::test {
namespace {

TEST(EnvRewrite, CopyNameNeverTheFileItself) {
  const struct {
    const char* env;
    const char* copy;
  } cases[] = {
      {"|S|ENV.DAT", "|S|ENV.tmp"},
      {"|S|ENV.tmp", "|S|ENV.tmp.new"},
      {"|S|ENV.TmP", "|S|ENV.TmP.new"},
      {"ab", "ab.tmp"},
  };
  for (const auto& c : cases) EXPECT_EQ(rewriteCopyPath(nat(c.env)), nat(c.copy)) << c.env;
#ifndef _WIN32
  EXPECT_EQ(rewriteCopyPath("/S/\xe7\x92\xb0\xe5\xa2\x83\xe3\x83\x95"), "/S/tmp");  // 環境フ: whole characters
#endif
}

TEST(EnvRewrite, AnyFailingStepLeavesTheFileAsItWas) {
  for (auto step : {FaultFs::Step::Create, FaultFs::Step::Write, FaultFs::Step::Commit, FaultFs::Step::Replace}) {
    Scratch d;
    FaultFs fs;
    writeFile(d.envFile, "#01,A\r\n$JA");
    fs.step = step;
    const auto keepAll = [](std::string_view line) { return std::optional<std::string>(line); };
    EXPECT_THROW(Env_Rewrite(fs, d.envFile.native(), keepAll), IoError);
    EXPECT_EQ(readFile(d.envFile), "#01,A\r\n$JA");
    EXPECT_FALSE(std::filesystem::exists(d.root / "ENV.tmp"));
  }
}

}  // namespace
}  // namespace neb::app::test
