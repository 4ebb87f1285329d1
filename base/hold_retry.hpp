// Virus scanners, sync clients, the search indexer and the logging program
// open a file for a moment just after it changes, letting others read and
// write it but not delete or rename over it. A step refused for such a
// reason is tried again, for about two seconds in all, before it fails.
#pragma once

#include <chrono>
#include <functional>

#include "system.hpp"

namespace neb {

// How a retried step waits. The front ends' own let the window answer, or
// Ctrl+C stop the waiting.
class HoldWait {
public:
  virtual ~HoldWait() = default;
  // Waits about d; false when the user asked to stop.
  virtual bool pause(std::chrono::milliseconds d) = 0;
};

// Sleeps, never stops.
HoldWait& sleepingWait();

// Calls attempt (0 on success, else the system's code) until it succeeds,
// fails for a cause that waiting cannot mend, the waits are spent or the
// user stops them. Returns 0, or the first error.
SystemCode retryWhileHeld(const std::function<SystemCode()>& attempt, HoldWait& wait);

}  // namespace neb
