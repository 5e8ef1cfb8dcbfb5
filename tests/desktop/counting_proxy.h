// A relay between the desktop side and the board server that notes the "api" of every request
// the desktop sends, so that tests can tell how many requests an operation took.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zentro::qrb::testing {

class CountingProxy
{
public:
    // Listens on 127.0.0.1:@listenPort and @listenPort + 1 and relays each connection to the
    // same offsets from @serverPort.
    CountingProxy(uint16_t listenPort, uint16_t serverPort);
    CountingProxy(const CountingProxy &) = delete;
    CountingProxy &operator=(const CountingProxy &) = delete;
    ~CountingProxy();

    // The "api" of every request so far, in order (both ports).
    std::vector<std::string> requests() const;

private:
    void acceptLoop(int listener, uint16_t upstreamPort);
    void relayRequests(int from, int to);
    static void relayBytes(int from, int to);

    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    std::vector<int> listeners_;
    std::vector<int> sockets_;
    std::vector<std::thread> threads_;
    bool stopping_ = false;
};

} // namespace zentro::qrb::testing
