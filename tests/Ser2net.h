// ser2net in front of a serial device, for a test (scripts/ser2net.sh): the network port name it
// serves, and ser2net stopped when the object goes. Empty Name() when it did not start; the
// reason is then in Error().
#pragma once

#include <signal.h>

#include <chrono>
#include <string>

#include "RunProcess.h"

namespace glassbench::testing {

class Ser2net {
  public:
    // `kind`: "rfc2217" or "socket".
    Ser2net(const std::string& device, const std::string& kind)
        : process_(GLASSBENCH_SOURCE_DIR "/scripts/ser2net.sh", {device, kind}) {
        if (process_.WaitFor("\n", std::chrono::seconds(15))) {
            name_ = kind + "://127.0.0.1:" + process_.out().substr(0, process_.out().find('\n'));
        }
    }
    ~Ser2net() {
        // The script stops ser2net on SIGTERM; a SIGKILL would leave it running.
        process_.Signal(SIGTERM);
        process_.Finish(std::chrono::seconds(10));
    }
    Ser2net(const Ser2net&) = delete;
    Ser2net& operator=(const Ser2net&) = delete;

    const std::string& Name() const { return name_; }
    const std::string& Error() const { return process_.err(); }

  private:
    Process process_;
    std::string name_;
};

}  // namespace glassbench::testing
