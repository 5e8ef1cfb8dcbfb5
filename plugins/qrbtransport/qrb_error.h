// The error every qrbclient call throws: what went wrong on the link to the board server.
#pragma once

#include <stdexcept>
#include <string>

namespace zentro::qrb {

class Error : public std::runtime_error
{
public:
    enum class Kind {
        // No connection could be made (refused, unreachable, no such host, time-out).
        ConnectFailed,
        // The connection broke, or the server closed it, in the middle of a request.
        ConnectionLost,
        // The server did not answer within the time-out.
        Timeout,
        // The bytes received are not a valid answer (bad length, not a JSON object, ...).
        Protocol,
        // The server answered, but refused the request (a non-zero "retVal").
        Refused,
        // A local file or argument problem (file not readable, bad size, ...).
        Local,
    };

    Error(Kind kind, const std::string &message) : std::runtime_error(message), kind_(kind) {}

    Kind kind() const { return kind_; }
    // True when the link itself failed (the next call connects again).
    bool isLinkFailure() const
    {
        return kind_ == Kind::ConnectFailed || kind_ == Kind::ConnectionLost ||
               kind_ == Kind::Timeout;
    }

private:
    Kind kind_;
};

} // namespace zentro::qrb
