// The main window's logic: every handler of Form1, portable. The front end
// forwards window events here and implements Platform.
#pragma once

#include <memory>

#include "platform.hpp"

namespace neb::app {

class Form1 {
public:
  explicit Form1(Platform& platform);
  ~Form1();
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  // Start-up before the window is first shown (reads the command line and the
  // environment file; may end the process through the hand-off).
  void Form_Load();
  void Command1_Click();    // Start
  void Command2_Click();    // Stop: asks the front end to close the window
  void hamlog_set_Click();  // Option > Hamlog file definition
  void MENU_X_Click();      // Option > remove the initial-setup marker
  // Unload processing: the close box, Stop, or the session ending. Never returns.
  [[noreturn]] void Form_Unload();

private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace neb::app
