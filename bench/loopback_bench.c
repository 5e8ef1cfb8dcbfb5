/* Raw loopback TCP throughput, the reference for the frame server's figures: a child process
 * sends a stream in 1 MiB writes to 127.0.0.1 and the parent receives it into a 1 MiB
 * buffer. Prints the median MB/s over several rounds. */
#define _POSIX_C_SOURCE 200809L

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

enum { kChunk = 1 << 20, kMaxRounds = 50 };
static const long long kDefaultBytes = 1920LL * 1200 * 2 * 20; /* twenty frames */

static void fail(const char *what)
{
    fprintf(stderr, "loopback_bench: %s: %s\n", what, strerror(errno));
    exit(1);
}

static double now_ms(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec * 1e3 + (double)t.tv_nsec / 1e6;
}

static void send_stream(in_port_t port, long long total)
{
    static char chunk[kChunk];
    memset(chunk, 0x5a, sizeof chunk);
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    struct sockaddr_in server = {0};
    server.sin_family = AF_INET;
    server.sin_port = htons(port);
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || connect(fd, (const struct sockaddr *)&server, sizeof server) < 0)
        fail("connect");
    for (long long sent = 0; sent < total;) {
        size_t want = (size_t)(total - sent < kChunk ? total - sent : kChunk);
        ssize_t n = send(fd, chunk, want, MSG_NOSIGNAL);
        if (n <= 0)
            fail("send");
        sent += n;
    }
    close(fd);
}

/* One round: MB/s from the connection's acceptance to its last byte. */
static double receive_round(int listener, in_port_t port, long long total)
{
    static char buffer[kChunk];
    pid_t child = fork();
    if (child < 0)
        fail("fork");
    if (child == 0) {
        close(listener);
        send_stream(port, total);
        _exit(0);
    }
    int fd = accept(listener, NULL, NULL);
    if (fd < 0)
        fail("accept");
    double start = now_ms();
    long long received = 0;
    for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;)
        received += n;
    double elapsed = now_ms() - start;
    close(fd);
    waitpid(child, NULL, 0);
    if (received != total) {
        fprintf(stderr, "loopback_bench: received %lld of %lld bytes\n", received, total);
        exit(1);
    }
    return (double)total / 1e6 / (elapsed / 1e3);
}

static int compare(const void *a, const void *b)
{
    double x = *(const double *)a, y = *(const double *)b;
    return (x > y) - (x < y);
}

int main(int argc, char **argv)
{
    int rounds = argc > 1 ? atoi(argv[1]) : 5;
    if (rounds < 1 || rounds > kMaxRounds) {
        fprintf(stderr, "usage: %s [rounds 1-%d]\n", argv[0], kMaxRounds);
        return 2;
    }
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    struct sockaddr_in address = {0};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener < 0 || bind(listener, (struct sockaddr *)&address, sizeof address) < 0 ||
        listen(listener, 1) < 0 || getsockname(listener, (struct sockaddr *)&address, &length) < 0)
        fail("listen on 127.0.0.1");

    double rates[kMaxRounds];
    for (int i = 0; i < rounds; ++i)
        rates[i] = receive_round(listener, ntohs(address.sin_port), kDefaultBytes);
    qsort(rates, (size_t)rounds, sizeof rates[0], compare);
    printf("raw loopback TCP, 1 MiB writes: %lld bytes x %d: median %.0f MB/s (best %.0f MB/s)\n",
           kDefaultBytes, rounds, rates[rounds / 2], rates[rounds - 1]);
    close(listener);
    return 0;
}
