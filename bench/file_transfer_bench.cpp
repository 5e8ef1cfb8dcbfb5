// Upload and download of a 256 MiB file to and from a running board server in 1 MiB chunks,
// in MB/s. The file goes to the path given; the download is compared with what was sent.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench_timing.h"
#include "server_link.h"

namespace {

using zentro::bench::expectSuccess;
using zentro::bench::fail;
using zentro::bench::Link;

constexpr in_port_t kCommandPort = 29824;
constexpr uint32_t kFileBytes = 256u << 20;
constexpr uint32_t kChunkBytes = 1u << 20;
constexpr int kDefaultRounds = 3;

std::string quoted(const std::string &text)
{
    return "\"" + text + "\"";
}

void upload(const Link &link, const std::string &path, const std::vector<char> &data)
{
    expectSuccess(link.call(R"({"api":"uploadFile","path":)" + quoted(path) +
                            ",\"fileSize\":" + std::to_string(data.size()) + "}"),
                  "uploadFile");
    std::vector<char> reply;
    for (uint32_t offset = 0; offset < data.size(); offset += kChunkBytes) {
        link.send(R"({"api":"uploadFileTransfer","path":)" + quoted(path) +
                  ",\"offset\":" + std::to_string(offset) +
                  ",\"transferSize\":" + std::to_string(kChunkBytes) + "}");
        link.sendBytes(data.data() + offset, kChunkBytes);
        expectSuccess(std::string(reply.data(), link.receive(reply)), "uploadFileTransfer");
    }
}

void download(const Link &link, const std::string &path, std::vector<char> &data)
{
    expectSuccess(link.call(R"({"api":"downloadFile","path":)" + quoted(path) + "}"),
                  "downloadFile");
    for (uint32_t offset = 0; offset <= data.size();) {
        link.send(R"({"api":"downloadFileTransfer","path":)" + quoted(path) +
                  ",\"offset\":" + std::to_string(offset) +
                  ",\"transferSize\":" + std::to_string(kChunkBytes) + "}");
        const uint32_t room = offset < data.size() ? kChunkBytes : 0;
        const uint32_t n = link.receiveInto(data.data() + offset, room);
        // The request past the end ends the download on the server.
        if (n == 0)
            break;
        offset += n;
    }
}

// Through the server's own shell command (the path is the bench's own, without quotes).
void removeFile(const Link &link, const std::string &path)
{
    expectSuccess(link.call(R"({"api":"invoke","commandLine":"rm -f )" + path + "\"}"), "invoke");
}

double megabytesPerSecond(double bytes, double ms)
{
    return bytes / 1e6 / (ms / 1e3);
}

} // namespace

int main(int argc, char **argv)
{
    const int rounds = argc > 2 ? std::atoi(argv[2]) : kDefaultRounds;
    if (argc < 2 || argv[1][0] != '/' || rounds < 1) {
        std::fprintf(stderr, "usage: %s ABSOLUTE_BOARD_PATH [rounds]\n", argv[0]);
        return 2;
    }
    const std::string path = argv[1];
    std::vector<char> sent(kFileBytes);
    std::mt19937 random(20);
    for (char &byte : sent)
        byte = static_cast<char>(random());
    std::vector<char> received(kFileBytes);

    const Link link(kCommandPort);
    std::vector<double> uploadRates, downloadRates;
    for (int round = 0; round < rounds; ++round) {
        // A new file each round, as a copy usually makes; the last one is removed untimed so
        // that freeing its pages does not count either.
        removeFile(link, path);
        uploadRates.push_back(megabytesPerSecond(
            kFileBytes, zentro::bench::timed([&] { upload(link, path, sent); }).wallMs));
        std::memset(received.data(), 0, received.size());
        downloadRates.push_back(megabytesPerSecond(
            kFileBytes, zentro::bench::timed([&] { download(link, path, received); }).wallMs));
        if (received != sent)
            fail("the downloaded file differs from the uploaded one");
    }
    removeFile(link, path);
    std::printf("upload of %u bytes in 1 MiB chunks x %d: median %.0f MB/s\n", kFileBytes, rounds,
                zentro::bench::median(uploadRates));
    std::printf("download of %u bytes in 1 MiB chunks x %d: median %.0f MB/s\n", kFileBytes, rounds,
                zentro::bench::median(downloadRates));
    return 0;
}
