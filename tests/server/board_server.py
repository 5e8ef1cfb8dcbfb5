"""Harness of the board server's end-to-end tests: a private network namespace, and
qrb_server started on a fresh simulated board with its output captured.

Every test script calls enter_private_network() before anything else. The script then runs
again under `unshare --net`, in a namespace of its own where 192.168.55.0/24 (the board's
link to the host) is local to the loopback device: the server's host check succeeds and
nothing the tests send can leave the namespace. Clients connect to 127.0.0.1.
"""
import argparse
import collections
import ctypes
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "client"))
import qrb_client  # noqa: E402  (the client library lives beside this folder)

SKIP_EXIT_CODE = 77
PARENT_NETNS_ENV = "QRB_E2E_PARENT_NETNS"
# The board's own address on its link to the host; the host is 192.168.55.100.
BOARD_LINK_ADDRESS = "192.168.55.1/24"
HOST_ADDRESS = "192.168.55.100"
SERVER_HOST = "127.0.0.1"
COMMAND_PORT = qrb_client.COMMAND_PORT
FRAME_PORT = qrb_client.FRAME_PORT

# Upper bounds only: the server needs about 2 s to start and 1 s to notice SIGTERM; the
# bounds leave room for sanitizer builds on a loaded machine.
STARTUP_TIMEOUT = 30.0
STOP_TIMEOUT = 30.0

LISTENING_LINE = "Zentro Frame server is listening."
STARTUP_LINES_AFTER_BOARD_CHECK = [
    "The remote host is connected.",
    "Zentro API server is listening.",
    "Zentro Frame server is listening.",
    "... Waiting signal to exit ...",
]
STOP_LINES = [
    "Received SIGTERM 15",
    "Zentro API server stopped.",
    "Zentro Frame server stopped.",
]
REV2_LINE = "This is Rev2 QRB."
NOT_REV2_LINE = "This is not Rev2 QRB."
# A board whose EEPROM is not where a Rev2 board has it.
NOT_REV2_BOARD_CONF = "# EEPROM moved away from 0x50: not a Rev2 board\neeprom_address = 0x51\n"

# TCP states in /proc/<pid>/net/tcp.
TCP_LISTEN = "0A"
PR_SET_PDEATHSIG = 1
# Looked up once here: a child between fork and exec must not import or load anything.
_prctl = ctypes.CDLL(None, use_errno=True).prctl


def _die_with_parent():
    """Runs in a child before it executes: if the test process is killed (a CTest time-out),
    the child is killed too, rather than a server lingering in the namespace."""
    _prctl(PR_SET_PDEATHSIG, int(signal.SIGKILL))


def skip(reason):
    print(f"SKIPPED: {reason}", flush=True)
    sys.exit(SKIP_EXIT_CODE)


def netns_inode(pid="self"):
    return os.stat(f"/proc/{pid}/ns/net").st_ino


def enter_private_network():
    """Re-executes the running script in a new network namespace (never returns there), or,
    inside it, checks that it is new and routes the board's link subnet to loopback."""
    parent = os.environ.get(PARENT_NETNS_ENV)
    if parent is None:
        _reexecute_in_new_namespace()
    if netns_inode() == int(parent):
        print("ABORT: still in the parent network namespace", file=sys.stderr, flush=True)
        sys.exit(1)
    _run_ip("link", "set", "lo", "up")
    _run_ip("addr", "add", BOARD_LINK_ADDRESS, "dev", "lo")
    links = _run_ip("-o", "link", "show").splitlines()
    route = _run_ip("-o", "route", "get", HOST_ADDRESS)
    if len(links) != 1 or ": lo:" not in links[0] or not route.startswith("local "):
        print(f"ABORT: unexpected namespace: links {links}, route {route!r}", file=sys.stderr)
        sys.exit(1)


def _reexecute_in_new_namespace():
    if shutil.which("unshare") is None:
        skip("cannot create a private network namespace: unshare is not installed")
    if shutil.which("ip") is None:
        skip("cannot create a private network namespace: ip is not installed")
    probe = subprocess.run(
        ["unshare", "--net", "--", "true"], capture_output=True, text=True, check=False
    )
    if probe.returncode != 0:
        reason = probe.stderr.strip() or f"unshare exited with {probe.returncode}"
        skip(f"cannot create a private network namespace: {reason}")
    env = dict(os.environ, **{PARENT_NETNS_ENV: str(netns_inode())})
    command = ["unshare", "--net", "--", sys.executable, os.path.abspath(sys.argv[0])]
    sys.stdout.flush()
    sys.stderr.flush()
    status = subprocess.run(
        command + sys.argv[1:], env=env, check=False, preexec_fn=_die_with_parent
    ).returncode
    sys.exit(status if status >= 0 else 128 - status)


def _run_ip(*args):
    result = subprocess.run(["ip", *args], capture_output=True, text=True, check=False)
    if result.returncode != 0:
        print(f"ABORT: ip {' '.join(args)}: {result.stderr.strip()}", file=sys.stderr)
        sys.exit(1)
    return result.stdout.strip()


def parse_arguments(description):
    """The options CTest passes; what is left over goes to unittest."""
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("--server", required=True, help="the qrb_server program")
    parser.add_argument("--boardsim", required=True, help="libboardsim.so")
    parser.add_argument("--source-dir", required=True, help="the source tree (sample files)")
    parser.add_argument(
        "--sanitized", action="store_true", help="the server is built with AddressSanitizer"
    )
    parser.add_argument("--plugin", help="the board plug-in libcsitransport.so")
    return parser.parse_known_args()


def skip_without_plugin(args):
    """The camera tests need the board plug-in (--plugin)."""
    if not args.plugin:
        skip("the board plug-in is not built")


def run_tests(description, configure):
    """Entry point of a test script: namespace, options, then the unittest cases of the
    calling module with verbosity 2. `configure(args)` stores the options for the cases."""
    enter_private_network()
    args, rest = parse_arguments(description)
    for path, what in ((args.server, "server"), (args.boardsim, "board simulator")):
        if not os.path.isfile(path):
            print(f"{what} {path} does not exist", file=sys.stderr)
            sys.exit(1)
    configure(args)
    unittest.main(module="__main__", argv=[sys.argv[0], *rest], verbosity=2)


def wait_until(predicate, timeout, interval=0.05):
    """Polls `predicate` until it is true or `timeout` seconds have passed; its last value."""
    deadline = time.monotonic() + timeout
    while True:
        result = predicate()
        if result or time.monotonic() >= deadline:
            return result
        time.sleep(interval)


class CameraHome:
    """A server home as the board has it: the sensor-data folder and the board plug-in in
    "Plugins", linked from the source and build trees. Removed by cleanup()."""

    def __init__(self, source_dir, plugin):
        self.path = tempfile.mkdtemp(prefix="qrb_home.")
        os.symlink(
            os.path.join(os.path.abspath(source_dir), "sensor_data"),
            os.path.join(self.path, "sensor_data"),
        )
        self.plugin = os.path.join(self.path, "Plugins", "libcsitransport.so")
        os.mkdir(os.path.dirname(self.plugin))
        os.symlink(os.path.abspath(plugin), self.plugin)

    def env(self):
        return {"ZE_HOME": self.path}

    def cleanup(self):
        shutil.rmtree(self.path, ignore_errors=True)


def read_board_log(board_dir, name):
    """The lines of one of the board's log files (none before its first line)."""
    try:
        with open(os.path.join(board_dir, name), encoding="utf-8") as log:
            return log.read().splitlines()
    except FileNotFoundError:
        return []


def read_bus_log(board_dir):
    return read_board_log(board_dir, "bus.log")


GpioLine = collections.namedtuple(
    "GpioLine", "offset level direction active_low holder_pid consumer last_consumer"
)


def read_gpio_state(board_dir):
    """The lines of the board's gpio.state by offset ("-" fields become "")."""
    lines = {}
    try:
        with open(os.path.join(board_dir, "gpio.state"), encoding="utf-8") as state:
            rows = state.read().splitlines()
    except FileNotFoundError:
        return lines
    for row in rows:
        if not row or row.startswith("#"):
            continue
        fields = row.split("\t")
        if len(fields) != len(GpioLine._fields):
            raise ValueError(f"malformed gpio.state row {row!r}")
        offset, level, direction, active_low, holder, consumer, last = fields
        lines[int(offset)] = GpioLine(
            int(offset),
            int(level),
            direction,
            int(active_low),
            int(holder),
            "" if consumer == "-" else consumer,
            "" if last == "-" else last,
        )
    return lines


POWER_COMMANDS = ("shutdown", "reboot", "poweroff", "halt")


class PowerGuard:
    """Recording stand-ins for the machine's power commands, first in PATH, for a server that
    can be asked to power off or reboot. The simulated board intercepts these commands; the
    stand-ins are the second line of defence: if one ever runs, it only writes its command
    line to `record` (which the tests expect to stay empty)."""

    def __init__(self, directory):
        self.bin_dir = os.path.join(directory, "power_fakes")
        self.record = os.path.join(directory, "power_fakes.log")
        os.mkdir(self.bin_dir)
        open(self.record, "w", encoding="utf-8").close()
        for name in POWER_COMMANDS:
            path = os.path.join(self.bin_dir, name)
            with open(path, "w", encoding="utf-8") as fake:
                fake.write(f'#!/bin/sh\necho "$0 $*" >> "{self.record}"\nexit 0\n')
            os.chmod(path, 0o755)

    def env(self):
        return {"PATH": f"{self.bin_dir}{os.pathsep}{os.environ.get('PATH', os.defpath)}"}

    def verify(self, server):
        """Before the server starts: in the very environment it gets, every power command
        resolves to its stand-in, for Python's lookup and for the shell's. Aborts otherwise."""
        _command, env = server.board_command("true")
        env = dict(env)
        env.pop("LD_PRELOAD", None)
        for name in POWER_COMMANDS:
            fake = os.path.join(self.bin_dir, name)
            found = shutil.which(name, path=env["PATH"])
            shell = subprocess.run(
                ["sh", "-c", f"command -v {name}"], env=env, capture_output=True, text=True,
                check=False,
            ).stdout.strip()
            if found != fake or shell != fake:
                print(f"ABORT: {name} resolves to {found!r} / {shell!r}, not {fake}", file=sys.stderr)
                sys.exit(1)

    def recorded(self):
        with open(self.record, encoding="utf-8") as record:
            return record.read()


def read_power_log(board_dir):
    """The command lines of the board's power.log."""
    return read_board_log(board_dir, "power.log")


class OutputCollector:
    """Reads one pipe of the server line by line in a thread; lines can be awaited."""

    def __init__(self, stream):
        self._lines = []
        self._times = []
        self._condition = threading.Condition()
        self._closed = False
        self._thread = threading.Thread(target=self._read, args=(stream,), daemon=True)
        self._thread.start()

    def _read(self, stream):
        for raw in iter(stream.readline, b""):
            with self._condition:
                self._lines.append(raw.decode("utf-8", "replace").rstrip("\n"))
                self._times.append(time.monotonic())
                self._condition.notify_all()
        stream.close()
        with self._condition:
            self._closed = True
            self._condition.notify_all()

    def lines(self):
        with self._condition:
            return list(self._lines)

    def arrival_time(self, line):
        """When `line` first arrived (time.monotonic()), or None."""
        with self._condition:
            if line in self._lines:
                return self._times[self._lines.index(line)]
        return None

    def wait_for(self, predicate, timeout):
        """Waits until predicate(lines) is true or the pipe closes; returns its last value."""
        deadline = time.monotonic() + timeout
        with self._condition:
            while True:
                result = predicate(self._lines)
                remaining = deadline - time.monotonic()
                if result or self._closed or remaining <= 0:
                    return result
                self._condition.wait(remaining)

    def join(self, timeout):
        self._thread.join(timeout)


class ServerError(AssertionError):
    """The server did not behave as its tests need (did not start, did not stop)."""


class BoardServer:
    """qrb_server on a fresh simulated board directory, with stdout and stderr captured.

    `board_conf` is written as the board's board.conf before the start (None: the default
    board); `env` adds variables to the server's environment. `launcher` is a command prefix
    that ends by executing its arguments in the same process (e.g. `unshare --net --`), so
    the process id stays the server's.
    """

    def __init__(self, server, boardsim, board_conf=None, launcher=(), env=None, cwd=None):
        self.server = server
        self.cwd = cwd
        self.extra_env = dict(env or {})
        self.boardsim = os.path.abspath(boardsim)
        self.board_conf = board_conf
        self.launcher = list(launcher)
        self.board_dir = None
        self.process = None
        self.stdout = None
        self.stderr = None
        self.started_at = None

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc_info):
        self.cleanup()

    @property
    def pid(self):
        return self.process.pid

    def prepare_board(self):
        """Makes the board directory (and its board.conf) if start() has not yet."""
        if self.board_dir is not None:
            return
        self.board_dir = tempfile.mkdtemp(prefix="qrb_board.")
        if self.board_conf is not None:
            with open(os.path.join(self.board_dir, "board.conf"), "w", encoding="utf-8") as conf:
                conf.write(self.board_conf)

    def board_command(self, *command):
        """`command` made to run on this board, and the environment to run it with: an `env`
        call preloads the simulator for that program alone (not for a launcher before it)."""
        self.prepare_board()
        env = dict(os.environ)
        env.update(self.extra_env)
        env["ZE_SIM_DIR"] = self.board_dir
        # The simulator is not instrumented; a sanitized server must not insist on coming first.
        asan = env.get("ASAN_OPTIONS")
        env["ASAN_OPTIONS"] = "verify_asan_link_order=0" + (f":{asan}" if asan else "")
        preload = env.pop("LD_PRELOAD", None)
        preload = f"{preload}:{self.boardsim}" if preload else self.boardsim
        return ["env", f"LD_PRELOAD={preload}", *command], env

    def start(self):
        command, env = self.board_command(self.server)
        self.started_at = time.monotonic()
        # `env` and the launcher execute their arguments in the same process: the process id
        # is the server's.
        self.process = subprocess.Popen(
            [*self.launcher, *command],
            env=env,
            cwd=self.cwd,
            stdin=subprocess.DEVNULL,
            stdout=subprocess.PIPE,
            stderr=subprocess.PIPE,
            preexec_fn=_die_with_parent,
        )
        self.stdout = OutputCollector(self.process.stdout)
        self.stderr = OutputCollector(self.process.stderr)

    def stdout_lines(self):
        return self.stdout.lines()

    def stderr_text(self):
        return "\n".join(self.stderr.lines())

    def describe(self):
        """The output so far, for failure messages."""
        return (
            f"exit status {self.process.poll()}\n--- stdout:\n"
            + "\n".join(self.stdout_lines())
            + f"\n--- stderr:\n{self.stderr_text()}"
        )

    def wait_for_line(self, line, timeout):
        return self.stdout.wait_for(lambda lines: line in lines, timeout)

    def wait_ready(self, timeout=STARTUP_TIMEOUT):
        """Waits for the listening line and then for both ports to accept a connection."""
        deadline = time.monotonic() + timeout
        if not self.wait_for_line(LISTENING_LINE, timeout):
            raise ServerError(f"server did not report listening\n{self.describe()}")
        for port in (COMMAND_PORT, FRAME_PORT):
            try:
                client = qrb_client.connect_when_ready(
                    SERVER_HOST, port, max(0.5, deadline - time.monotonic())
                )
            except qrb_client.Timeout as error:
                raise ServerError(f"{error}\n{self.describe()}") from None
            # "disconnect" ends the probe's connection without a line on the server's output.
            try:
                client.ping()
                client.disconnect()
            except qrb_client.QrbClientError as error:
                raise ServerError(f"port {port}: {error}\n{self.describe()}") from None
            finally:
                client.close()

    def wait_exit(self, timeout=STOP_TIMEOUT):
        """The exit status; kills the server and fails if it does not end in time."""
        try:
            status = self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            self.kill()
            raise ServerError(f"server did not exit within {timeout} s\n{self.describe()}")
        self.stdout.join(5)
        self.stderr.join(5)
        return status

    def terminate(self, timeout=STOP_TIMEOUT):
        """Sends SIGTERM and returns the exit status."""
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
        return self.wait_exit(timeout)

    def kill(self):
        if self.process is not None and self.process.poll() is None:
            self.process.kill()
            self.process.wait(10)

    def cleanup(self):
        """Kills a server still running and removes its board directory."""
        self.kill()
        for collector in (self.stdout, self.stderr):
            if collector is not None:
                collector.join(5)
        if self.board_dir is not None:
            shutil.rmtree(self.board_dir, ignore_errors=True)
            self.board_dir = None

    def gpio_lines(self):
        return read_gpio_state(self.board_dir)

    def rss_kib(self):
        """The server's resident memory (VmRSS) in KiB."""
        with open(f"/proc/{self.pid}/status", encoding="utf-8") as status:
            for line in status:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
        raise ServerError("no VmRSS in /proc status")

    def uses_asan(self):
        """Whether the running server has the AddressSanitizer runtime loaded."""
        with open(f"/proc/{self.pid}/maps", encoding="utf-8") as maps:
            return any("libasan" in line for line in maps)

    def listening_ports(self):
        """Ports in LISTEN state in the server's network namespace (None once it is gone)."""
        ports = set()
        try:
            for name in ("tcp", "tcp6"):
                with open(f"/proc/{self.pid}/net/{name}", encoding="ascii") as table:
                    for row in table.readlines()[1:]:
                        fields = row.split()
                        if fields[3] == TCP_LISTEN:
                            ports.add(int(fields[1].rsplit(":", 1)[1], 16))
        except OSError:
            return None
        return ports
