#include "hold_retry.hpp"

#include <thread>

namespace neb {

namespace {

// Growing steps, 2 s in all: a scanner's look at a small file ends within
// the first few; one that takes longer is no moment's hold.
using namespace std::chrono_literals;
constexpr std::chrono::milliseconds kWaits[] = {10ms, 20ms, 40ms, 80ms, 160ms, 320ms, 640ms, 730ms};

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
