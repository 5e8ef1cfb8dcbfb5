#!/bin/sh
# The simulated GPIO chip driven by the system's own libgpiod tools (gpioset, gpioget, gpioinfo,
# gpiodetect, gpiomon).
# Usage: gpio_tools_test.sh path/to/libboardsim.so
set -u
. "$(dirname "$0")/tool_test_common.sh"
require_tools gpiod gpioset gpioget gpioinfo gpiodetect gpiomon
start_board "$1"
holder=
cleanup_extra() {
    if [ -n "$holder" ]; then kill "$holder" 2>/dev/null; wait "$holder" 2>/dev/null; fi
}
state_line() { grep "^$1	" "$ZE_SIM_DIR/gpio.state"; }
# A line's count of level changes (without the time of the last, which no test can know).
changes() { grep "^$1	" "$ZE_SIM_DIR/gpio.changes" | cut -f2; }
tab=$(printf '\t')

# Driven lines are recorded with level, direction and consumer.
sim gpioset gpiochip1 129=1 130=0 || fail "gpioset exited with $?"
expect_eq "$(state_line 129)" "129${tab}1${tab}out${tab}0${tab}0${tab}-${tab}gpioset" "line 129 after gpioset"
expect_eq "$(state_line 130)" "130${tab}0${tab}out${tab}0${tab}0${tab}-${tab}gpioset" "line 130 after gpioset"
# Driving a line high counts one change; driving it low where it already was counts none.
expect_eq "$(changes 129)" "1" "changes of line 129"
expect_eq "$(changes 130)" "" "changes of line 130"

# Another process reads the levels back, by chip name and by path.
expect_eq "$(sim gpioget gpiochip1 129 130)" "1 0" "gpioget by name"
expect_eq "$(sim gpioget /dev/gpiochip1 129)" "1" "gpioget by path"
expect_eq "$(sim gpioset -l gpiochip1 131=1 && state_line 131 | cut -f2)" "0" "active-low level"

# Chip information as the tools see it.
expect_eq "$(sim gpioinfo gpiochip1 | head -1)" "gpiochip1 - 160 lines:" "gpioinfo header"

# A held line is reported in use and refused to a second requester.
LD_PRELOAD="$library" gpioset --mode=signal gpiochip1 126=1 &
holder=$!
for _ in 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20; do
    state_line 126 2>/dev/null | grep -q "${tab}gpioset${tab}gpioset\$" && break
    sleep 0.1
done
info=$(sim gpioinfo gpiochip1 | grep 'line 126:')
case "$info" in
*'"gpioset"'*output*'[used]'*) ;;
*) fail "gpioinfo for a held line: $info" ;;
esac
if sim gpioset gpiochip1 126=0 2>/dev/null; then fail "a held line was granted twice"; fi
kill "$holder"
wait "$holder" 2>/dev/null
holder=
expect_eq "$(state_line 126 | cut -f2,5,6)" "1${tab}0${tab}-" "line 126 after its holder ended"

# The chip is found by scanning /dev, as the tools list chips.
expect_eq "$(sim gpiodetect)" "gpiochip1 [board-gpio] (160 lines)" "gpiodetect"
expect_eq "$(sim gpioinfo | head -1)" "gpiochip1 - 160 lines:" "gpioinfo of all chips"

# Edges another process makes reach gpiomon: levels toggle (a bounded number of times) until
# it has its events; it sees them alternate, each edge once.
monitor() {
    LD_PRELOAD="$library" timeout 10 gpiomon --num-events="$1" "$2" gpiochip1 40 >"$ZE_SIM_DIR/mon.txt" &
    holder=$!
    level=1
    for _ in $(seq 1 60); do
        kill -0 "$holder" 2>/dev/null || break
        sim gpioset gpiochip1 40=$level
        level=$((1 - level))
        sleep 0.1
    done
    wait "$holder" || fail "gpiomon $2 exited with $?"
    holder=
}
edges() { sed -n 's/^event: *\([A-Z]*\) EDGE offset: \([0-9]*\) timestamp: \[ *[0-9]*\.[0-9]*\]$/\1 \2/p' "$ZE_SIM_DIR/mon.txt" | tr '\n' ' '; }
monitor 4 --
case "$(edges)" in
"RISING 40 FALLING 40 RISING 40 FALLING 40 " | "FALLING 40 RISING 40 FALLING 40 RISING 40 ") ;;
*) fail "gpiomon both edges: $(cat "$ZE_SIM_DIR/mon.txt")" ;;
esac
monitor 2 --rising-edge
expect_eq "$(edges)" "RISING 40 RISING 40 " "gpiomon rising edges only"
monitor 2 --falling-edge
expect_eq "$(edges)" "FALLING 40 FALLING 40 " "gpiomon falling edges only"

# Lines and chips that do not exist.
if sim gpioget gpiochip1 160 2>/dev/null; then fail "line 160 of 160 was granted"; fi
if sim gpioget gpiochip0 1 2>/dev/null; then fail "gpiochip0 exists"; fi

finish "gpio tool"
