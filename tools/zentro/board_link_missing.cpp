// The board link of a build without the protocol client library.
#include "board_link.h"

#include "cli_error.h"

namespace zcli {

std::unique_ptr<BoardLink> connectBoard(const std::string &address)
{
    operationFailed("cannot reach the board at " + address +
                    ": this zentro was built without the board protocol client (qrbclient)");
}

} // namespace zcli
