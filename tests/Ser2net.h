// ser2net in front of a serial device, for a test (scripts/ser2net.sh): the network port names it
// serves, one a kind, and ser2net stopped when the object goes. Empty Name() when it did not
// start; the reason is then in Error().
#pragma once

#include <signal.h>

#include <chrono>
#include <sstream>
#include <string>
#include <vector>

#include "RunProcess.h"

namespace glassbench::testing {

class Ser2net {
  public:
    // `kinds`: "rfc2217" or "socket", or several of them joined by commas: one accepter each,
    // all in front of the one device; `ports`, joined by commas too, the ports to take (a
    // ser2net started again where one was), else free ones.
    Ser2net(const std::string& device, const std::string& kinds, const std::string& ports = "")
        : process_(GLASSBENCH_SOURCE_DIR "/scripts/ser2net.sh",
                   ports.empty() ? std::vector<std::string>{device, kinds}
                                 : std::vector<std::string>{device, kinds, "9600", ports}) {
        if (process_.WaitFor("\n", std::chrono::seconds(15))) {
            std::istringstream kindList(kinds);
            std::istringstream ports(process_.out().substr(0, process_.out().find('\n')));
            std::string kind;
            std::string port;
            while (std::getline(kindList, kind, ',') && ports >> port) {
                names_.push_back(kind + "://127.0.0.1:" + port);
            }
        }
    }
    ~Ser2net() {
        // The script stops ser2net on SIGTERM; a SIGKILL would leave it running.
        process_.Signal(SIGTERM);
        process_.Finish(std::chrono::seconds(10));
    }
    Ser2net(const Ser2net&) = delete;
    Ser2net& operator=(const Ser2net&) = delete;

    // The first accepter's name, "" when ser2net did not start.
    std::string Name() const { return names_.empty() ? std::string() : names_.front(); }
    const std::vector<std::string>& Names() const { return names_; }
    const std::string& Error() const { return process_.err(); }

  private:
    Process process_;
    std::vector<std::string> names_;
};

}  // namespace glassbench::testing
