#include "hold_retry.hpp"

#include <thread>

namespace neb {

namespace {

// Growing steps, 2 s in all: a scanner's look at a small file ends within
// the first few; one that takes longer is no moment's hold.
constexpr std::chrono::milliseconds kWaits[] = {std::chrono::milliseconds(10),  std::chrono::milliseconds(20),
                                                std::chrono::milliseconds(40),  std::chrono::milliseconds(80),
                                                std::chrono::milliseconds(160), std::chrono::milliseconds(320),
                                                std::chrono::milliseconds(640), std::chrono::milliseconds(730)};

class Sleeping final : public HoldWait {
public:
  bool pause(std::chrono::milliseconds d) override {
    std::this_thread::sleep_for(d);
    return true;
  }
};

}  // namespace

HoldWait& sleepingWait() {
  static Sleeping sleeping;
  return sleeping;
}

SystemCode retryWhileHeld(const std::function<SystemCode()>& attempt, HoldWait& wait) {
  const auto held = [](SystemCode code) {
    const Cause cause = causeOf(code);
    return cause == Cause::Held || cause == Cause::Denied;
  };
  SystemCode code = attempt();
  const SystemCode first = code;
  for (const auto d : kWaits) {
    if (code == 0 || !held(code)) return code;
    if (!wait.pause(d)) break;
    code = attempt();
  }
  return code == 0 || !held(code) ? code : first;
}

}  // namespace neb
