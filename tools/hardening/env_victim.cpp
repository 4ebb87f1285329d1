// Runs the window's MENU_X item on an environment file over and over, for
// kill-env.sh to kill at random moments:
//
//   neb-env-victim APP_DIR ENV_FILE OLD_FILE          loop: ENV_FILE := OLD_FILE
//                                                     (one rename), then MENU_X
//   neb-env-victim APP_DIR ENV_FILE OLD_FILE --once   MENU_X once on ENV_FILE
//
// A box shown by the program goes to standard error; the program's own end
// (a failed rewrite) exits with status 3.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>

#include "file_system.hpp"
#include "form1.hpp"
#include "platform.hpp"

namespace {

namespace fsys = std::filesystem;
using neb::app::Answer;
using neb::app::Buttons;
using neb::app::Control;
using neb::app::Icon;

class VictimPlatform final : public neb::app::Platform {
public:
  VictimPlatform(std::string appDir, std::string envFile)
      : appDir_(std::move(appDir)), argument_(" " + std::move(envFile)) {}

  Answer messageBox(std::string_view text, std::string_view caption, Buttons buttons, Icon) override {
    std::cerr << "box [" << caption << "]: " << text << "\n";
    return buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
  }
  neb::app::OpenFileResult openFileDialog(const neb::app::OpenFileRequest&) override { return {}; }
  void setCaption(Control, std::string_view) override {}
  void setEnabled(Control, bool) override {}
  bool isChecked(Control) override { return false; }
  void setBusyCursor(bool) override {}
  void processMessages() override {}
  std::uint64_t tickMs() override { return 0; }
  void startProcess(const neb::NativeString&) override {}
  [[noreturn]] void endProcess() override { std::_Exit(3); }
  void dismissHelp(const neb::NativeString&) override {}
  neb::NativeString applicationDirectory() override { return appDir_; }
  neb::NativeString argumentText() override { return argument_; }
  neb::FileSystem& fileSystem() override { return fs_; }

private:
  neb::OsFileSystem fs_;
  std::string appDir_;
  std::string argument_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::cerr << "usage: neb-env-victim APP_DIR ENV_FILE OLD_FILE [--once]\n";
    return 2;
  }
  const fsys::path env = argv[2];
  const fsys::path old = argv[3];
  const bool once = argc > 4 && std::string_view(argv[4]) == "--once";

  VictimPlatform ui(argv[1], env.string());
  neb::app::Form1 form(ui);
  form.Form_Load();
  if (once) {
    form.MENU_X_Click();
    return 0;
  }
  const fsys::path restore = env.string() + ".restore";
  for (;;) {
    fsys::copy_file(old, restore, fsys::copy_options::overwrite_existing);
    fsys::rename(restore, env);
    form.MENU_X_Click();
  }
}
