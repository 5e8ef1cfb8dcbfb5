#include "board_checks.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/i2c-dev.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <utility>

namespace qrb {

namespace {

constexpr const char *kRevisionBus = "/dev/i2c-8";
// Only Rev2 boards carry a device at this 7-bit address of that bus.
constexpr int kRevisionDeviceAddress = 0x50;
// Any port does: the connect of a datagram socket only needs a route.
constexpr in_port_t kHostCheckPort = 80;

class UniqueFd
{
public:
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(const UniqueFd &) = delete;
    UniqueFd &operator=(const UniqueFd &) = delete;
    ~UniqueFd()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }

    int get() const { return fd_; }
    bool isValid() const { return fd_ >= 0; }

private:
    int fd_;
};

} // namespace

bool isRev2()
{
    const UniqueFd bus(::open(kRevisionBus, O_RDWR));
    if (!bus.isValid()) {
        std::printf("Failed to open the I2C bus");
        return false;
    }
    if (::ioctl(bus.get(), I2C_SLAVE, kRevisionDeviceAddress) < 0) {
        std::printf("Failed to acquire bus access or talk to the slave device");
        return false;
    }
    unsigned char byte = 0;
    const bool rev2 = ::read(bus.get(), &byte, 1) == 1;
    std::printf(rev2 ? "This is Rev2 QRB.\n" : "This is not Rev2 QRB.\n");
    return rev2;
}

bool checkHost(const char *address)
{
    const UniqueFd socket(::socket(AF_INET, SOCK_DGRAM, 0));
    if (!socket.isValid()) {
        std::perror("Open socket failed");
        return false;
    }
    sockaddr_in host{};
    host.sin_family = AF_INET;
    host.sin_port = htons(kHostCheckPort);
    if (::inet_pton(AF_INET, address, &host.sin_addr) != 1) {
        std::fprintf(stderr, "connect error: %s is not an IPv4 address\n", address);
        return false;
    }
    if (::connect(socket.get(), reinterpret_cast<const sockaddr *>(&host), sizeof(host)) < 0) {
        std::perror("connect error");
        return false;
    }
    std::printf("The remote host is connected.\n");
    return true;
}

} // namespace qrb
