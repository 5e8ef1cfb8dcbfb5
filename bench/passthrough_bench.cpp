// System calls on ordinary descriptors, to compare runs with and without the simulated board.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

namespace {

// An open descriptor of an ordinary file, closed at the end of the benchmark.
class OrdinaryFile
{
public:
    OrdinaryFile() : fd_(open("/dev/zero", O_RDONLY)) {}
    ~OrdinaryFile() { close(fd_); }
    OrdinaryFile(const OrdinaryFile &) = delete;
    OrdinaryFile &operator=(const OrdinaryFile &) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

void readOneByte(benchmark::State &state)
{
    OrdinaryFile file;
    char byte;
    for (auto _ : state)
        benchmark::DoNotOptimize(read(file.fd(), &byte, 1));
}
BENCHMARK(readOneByte);

void fstatDescriptor(benchmark::State &state)
{
    OrdinaryFile file;
    struct stat status;
    for (auto _ : state)
        benchmark::DoNotOptimize(fstat(file.fd(), &status));
}
BENCHMARK(fstatDescriptor);

void ioctlDescriptor(benchmark::State &state)
{
    int fds[2];
    if (pipe(fds) != 0) {
        state.SkipWithError("pipe failed");
        return;
    }
    int pending = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(ioctl(fds[0], FIONREAD, &pending));
    close(fds[0]);
    close(fds[1]);
}
BENCHMARK(ioctlDescriptor);

void openAndClose(benchmark::State &state)
{
    for (auto _ : state)
        close(open("/dev/null", O_RDONLY));
}
BENCHMARK(openAndClose);

void statPath(benchmark::State &state)
{
    struct stat status;
    for (auto _ : state)
        benchmark::DoNotOptimize(stat("/dev/null", &status));
}
BENCHMARK(statPath);

} // namespace

BENCHMARK_MAIN();
