# Sourced by the scripts that drive the program under Xvfb.
# wait_for TENTHS COMMAND...: waits up to TENTHS tenths of a second for COMMAND
# to succeed; says what it gave up on when it does not.
wait_for() {
    local tries=$1
    shift
    while ! "$@" >/dev/null 2>&1; do
        tries=$((tries - 1))
        if [ "$tries" -le 0 ]; then
            echo "gave up waiting for: $*" >&2
            return 1
        fi
        sleep 0.1
    done
}
