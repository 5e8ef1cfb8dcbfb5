// A stand-in for the board server on 127.0.0.1: accepts connections one after another and
// runs a test's script on each, so tests can answer with exactly the bytes they need.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

namespace zentro::qrb::testing {

class StandInServer
{
public:
    // @session runs once per accepted connection with its descriptor and number (0, 1, ...);
    // the connection is closed when it returns. At most @connections are accepted.
    using Session = std::function<void(int fd, int number)>;

    StandInServer(Session session, int connections = 1);
    StandInServer(const StandInServer &) = delete;
    StandInServer &operator=(const StandInServer &) = delete;
    ~StandInServer();

    uint16_t port() const { return port_; }
    // Connections accepted so far.
    int accepted() const { return accepted_.load(); }
    // Connections whose session has ended and which are closed.
    int finished() const { return finished_.load(); }
    // Waits (at most a few seconds) until @count connections are closed.
    void waitUntilFinished(int count) const;

    // Helpers for sessions: one whole frame's payload ("" when the peer closed), one frame out.
    static std::string readFrame(int fd);
    static void writeFrame(int fd, const std::string &payload);
    static void writeBytes(int fd, const std::string &bytes);
    static std::string prefix(uint32_t length);

private:
    void run(int connections);

    int listener_ = -1;
    uint16_t port_ = 0;
    Session session_;
    std::atomic<int> accepted_{0};
    std::atomic<int> finished_{0};
    std::thread thread_;
};

} // namespace zentro::qrb::testing
