// The C library's ways of running commands, so that the board answers its own commands: power
// commands and the sensor clock script never run on the machine; everything else does.
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "board_commands.h"
#include "real_functions.h"
#include "state_files.h"

#define BOARDSIM_EXPORT extern "C" __attribute__((visibility("default")))

using namespace boardsim;

namespace {

using SystemFn = int (*)(const char *);
using PopenFn = FILE *(*)(const char *, const char *);
using PcloseFn = int (*)(FILE *);
using ExecveFn = int (*)(const char *, char *const[], char *const[]);
using ExecvFn = int (*)(const char *, char *const[]);
using SpawnFn = int (*)(pid_t *, const char *, const posix_spawn_file_actions_t *,
                        const posix_spawnattr_t *, char *const[], char *const[]);

// The C library's own function behind ours (resolved once; static initialisation is
// thread-safe). Null only in a C library without it, which the callers report as ENOSYS.
template <class Fn>
Fn next(const char *name)
{
    return reinterpret_cast<Fn>(::dlsym(RTLD_NEXT, name));
}

int notAvailable()
{
    errno = ENOSYS;
    return -1;
}

BoardCommand classifyArgv(const char *file, char *const argv[])
{
    return classifyExec(file, const_cast<const char *const *>(argv));
}

// What an exec of a command the board answers leaves behind: the process ends with the
// command's status, as it would once the command had replaced it and finished. Nothing is
// flushed, as by a real exec.
[[noreturn]] void endAsAnswered(const BoardCommand &command)
{
    ::_exit(answerCommand(command));
}

// A spawned command the board answers is a child that ends at once with the command's status,
// so that the caller's wait sees what it expects.
int spawnAnswered(pid_t *pid, const BoardCommand &command)
{
    const int status = answerCommand(command);
    const pid_t child = ::fork();
    if (child < 0)
        return errno;
    if (child == 0)
        ::_exit(status);
    if (pid != nullptr)
        *pid = child;
    return 0;
}

// Streams popen() handed out for answered commands, with the status pclose() reports.
class AnsweredStreams
{
public:
    void add(FILE *stream, int status)
    {
        std::lock_guard<std::mutex> guard(mutex_);
        statuses_[stream] = status;
    }
    bool take(FILE *stream, int &status)
    {
        std::lock_guard<std::mutex> guard(mutex_);
        const auto it = statuses_.find(stream);
        if (it == statuses_.end())
            return false;
        status = it->second;
        statuses_.erase(it);
        return true;
    }

private:
    std::mutex mutex_;
    std::map<FILE *, int> statuses_;
};

AnsweredStreams &answeredStreams()
{
    static auto *streams = new AnsweredStreams; // outlives every static destructor
    return *streams;
}

// An answered command prints nothing and reads nothing: a reader gets end of file at once, a
// writer's output is discarded.
FILE *answeredStream(const char *mode)
{
    const bool closeOnExec = std::strchr(mode, 'e') != nullptr;
    UniqueFd fd;
    if (mode[0] == 'r') {
        int ends[2];
        if (::pipe2(ends, closeOnExec ? O_CLOEXEC : 0) != 0)
            return nullptr;
        real::close(ends[1]);
        fd.reset(ends[0]);
    } else if (mode[0] == 'w') {
        fd.reset(real::open("/dev/null", O_WRONLY | (closeOnExec ? O_CLOEXEC : 0), 0));
    } else {
        errno = EINVAL;
        return nullptr;
    }
    if (!fd.valid())
        return nullptr;
    FILE *stream = ::fdopen(fd.get(), mode[0] == 'r' ? "r" : "w");
    if (stream != nullptr) [[maybe_unused]]
        int kept = fd.release(); // the stream owns it now
    return stream;
}

// The arguments of execl, execlp and execle up to the terminating null pointer.
std::vector<char *> listArguments(const char *first, va_list &rest)
{
    std::vector<char *> argv{const_cast<char *>(first)};
    while (argv.back() != nullptr)
        argv.push_back(va_arg(rest, char *));
    return argv;
}

} // namespace

BOARDSIM_EXPORT int system(const char *command)
{
    static const auto realSystem = next<SystemFn>("system");
    if (command != nullptr) {
        const BoardCommand answered = classifyCommandLine(command);
        if (answered.kind != CommandKind::Pass)
            return W_EXITCODE(answerCommand(answered), 0);
    }
    return realSystem ? realSystem(command) : notAvailable();
}

BOARDSIM_EXPORT FILE *popen(const char *command, const char *mode)
{
    static const auto realPopen = next<PopenFn>("popen");
    if (command != nullptr && mode != nullptr) {
        const BoardCommand answered = classifyCommandLine(command);
        if (answered.kind != CommandKind::Pass) {
            FILE *stream = answeredStream(mode);
            if (stream != nullptr)
                answeredStreams().add(stream, W_EXITCODE(answerCommand(answered), 0));
            return stream;
        }
    }
    if (realPopen == nullptr) {
        errno = ENOSYS;
        return nullptr;
    }
    return realPopen(command, mode);
}

BOARDSIM_EXPORT int pclose(FILE *stream)
{
    static const auto realPclose = next<PcloseFn>("pclose");
    int status = 0;
    if (stream != nullptr && answeredStreams().take(stream, status)) {
        std::fclose(stream);
        return status;
    }
    return realPclose ? realPclose(stream) : notAvailable();
}

BOARDSIM_EXPORT int execve(const char *path, char *const argv[], char *const envp[])
{
    static const auto realExecve = next<ExecveFn>("execve");
    if (const BoardCommand answered = classifyArgv(path, argv); answered.kind != CommandKind::Pass)
        endAsAnswered(answered);
    return realExecve ? realExecve(path, argv, envp) : notAvailable();
}

BOARDSIM_EXPORT int execv(const char *path, char *const argv[])
{
    static const auto realExecv = next<ExecvFn>("execv");
    if (const BoardCommand answered = classifyArgv(path, argv); answered.kind != CommandKind::Pass)
        endAsAnswered(answered);
    return realExecv ? realExecv(path, argv) : notAvailable();
}

BOARDSIM_EXPORT int execvp(const char *file, char *const argv[])
{
    static const auto realExecvp = next<ExecvFn>("execvp");
    if (const BoardCommand answered = classifyArgv(file, argv); answered.kind != CommandKind::Pass)
        endAsAnswered(answered);
    return realExecvp ? realExecvp(file, argv) : notAvailable();
}

BOARDSIM_EXPORT int execvpe(const char *file, char *const argv[], char *const envp[])
{
    static const auto realExecvpe = next<ExecveFn>("execvpe");
    if (const BoardCommand answered = classifyArgv(file, argv); answered.kind != CommandKind::Pass)
        endAsAnswered(answered);
    return realExecvpe ? realExecvpe(file, argv, envp) : notAvailable();
}

BOARDSIM_EXPORT int execl(const char *path, const char *arg, ...)
{
    va_list rest;
    va_start(rest, arg);
    std::vector<char *> argv = listArguments(arg, rest);
    va_end(rest);
    return execv(path, argv.data());
}

BOARDSIM_EXPORT int execlp(const char *file, const char *arg, ...)
{
    va_list rest;
    va_start(rest, arg);
    std::vector<char *> argv = listArguments(arg, rest);
    va_end(rest);
    return execvp(file, argv.data());
}

BOARDSIM_EXPORT int execle(const char *path, const char *arg, ...)
{
    va_list rest;
    va_start(rest, arg);
    std::vector<char *> argv = listArguments(arg, rest);
    char *const *envp = va_arg(rest, char *const *);
    va_end(rest);
    return execve(path, argv.data(), envp);
}

BOARDSIM_EXPORT int posix_spawn(pid_t *pid, const char *path,
                                const posix_spawn_file_actions_t *actions,
                                const posix_spawnattr_t *attributes, char *const argv[],
                                char *const envp[])
{
    static const auto realSpawn = next<SpawnFn>("posix_spawn");
    if (const BoardCommand answered = classifyArgv(path, argv); answered.kind != CommandKind::Pass)
        return spawnAnswered(pid, answered);
    return realSpawn ? realSpawn(pid, path, actions, attributes, argv, envp) : ENOSYS;
}

BOARDSIM_EXPORT int posix_spawnp(pid_t *pid, const char *file,
                                 const posix_spawn_file_actions_t *actions,
                                 const posix_spawnattr_t *attributes, char *const argv[],
                                 char *const envp[])
{
    static const auto realSpawnp = next<SpawnFn>("posix_spawnp");
    if (const BoardCommand answered = classifyArgv(file, argv); answered.kind != CommandKind::Pass)
        return spawnAnswered(pid, answered);
    return realSpawnp ? realSpawnp(pid, file, actions, attributes, argv, envp) : ENOSYS;
}
