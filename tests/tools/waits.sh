# How long a test script waits for what it waits on (a Wine window, a program starting): the
# same bound as tests/tools/waits.h gives the C++ tests. A wait ends as soon as its condition
# holds; the bound, minutes long, only decides how long a failure takes to be reported, so a
# machine busy with other work never turns a pass into a failure.
#   . tests/tools/waits.sh
FOLIO_WAIT_SECONDS=120

# wait_until COMMAND [ARG...]: runs the command every tenth of a second until it succeeds;
# status 1 when the bound passed first.
wait_until() {
    wait_deadline=$(($(date +%s) + FOLIO_WAIT_SECONDS))
    until "$@"; do
        [ "$(date +%s)" -lt "$wait_deadline" ] || return 1
        sleep 0.1
    done
}
