#!/usr/bin/env bash
# x86-probe.sh COMMAND...
#
# Runs COMMAND, a test that runs a 32-bit x86 program, if this machine runs
# such programs at all. Where the kernel refuses them (64-bit kernels may be
# built, booted or sandboxed without IA-32 emulation, and then even Wine's
# 32-bit loader cannot start), it says so and exits 77, which CTest reports
# as skipped. Where the probe fails in any other way, the test fails.
#
# Whether the kernel runs them is not guessed from its version or its
# configuration: the probe is a real i386 program, 96 bytes of static ELF that
# exits with status 32 by the i386 system call. X86_PROBE=FILE runs FILE as
# the probe instead, to see the skipped path on a machine that runs 32-bit
# programs (FILE then being one the kernel refuses).
set -u
skipped=77

probe=${X86_PROBE:-}
if [[ -z $probe ]]; then
    probe=$(mktemp "${TMPDIR:-/tmp}/x86-probe.XXXXXX") || exit 1
    trap 'rm -f "$probe"' EXIT
    # ELF header: 32-bit, little-endian, executable, i386, entry 0x08048054;
    # one program header: the file loaded read-only and executable at
    # 0x08048000; then the code: mov eax, 1 (exit); mov ebx, 32; int 0x80.
    printf '%b' '\x7fELF\x01\x01\x01\0\0\0\0\0\0\0\0\0\x02\0\x03\0\x01\0\0\0\x54\x80\x04\x08' \
        '\x34\0\0\0\0\0\0\0\0\0\0\0\x34\0\x20\0\x01\0\0\0\0\0\0\0' \
        '\x01\0\0\0\0\0\0\0\0\x80\x04\x08\0\x80\x04\x08\x60\0\0\0\x60\0\0\0\x05\0\0\0\0\x10\0\0' \
        '\xb8\x01\0\0\0\xbb\x20\0\0\0\xcd\x80' >"$probe"
    chmod +x "$probe"
fi

said=$(export LC_ALL=C && "$probe" 2>&1)
status=$?
if ((status == 32)) && [[ -z $said ]]; then
    exec "$@"
elif ((status == 126)) && [[ $said == *"Exec format error"* ]]; then
    echo "skipped: this machine runs no 32-bit x86 programs (the kernel refuses one: Exec format error)"
    exit $skipped
else
    echo "x86-probe.sh: the 32-bit probe $probe ended with status $status: $said" >&2
    exit 1
fi
