#!/usr/bin/env bash
# qxpack create / list / extract from the command line: contents come back
# byte for byte, and errors give one line and the documented status.
set -u
qxpack=$1
source "$(dirname "$0")/script_support.sh"
enter_work_directory
status_is() { # expected status, command...
    local want=$1; shift
    "$@" >/dev/null 2>err.txt
    local got=$?
    [ "$got" = "$want" ] && [ "$(wc -l <err.txt)" = 1 ]
}

mkdir in
printf 'plain text, plain text, plain text\n' > in/text.txt
head -c 300000 /dev/urandom > in/random.bin
head -c 200000 /dev/zero > in/zeros.raw
head -c 50000 /dev/zero | tr '\0' 'A' > in/run.raw
printf 'QXPDnot really packed' > in/qxpd.bin
: > in/empty.raw
head -c 1200000 /dev/urandom | od -An -tx1 | head -c 1100000 > in/big.txt

check "create --pack" "$qxpack" create out.qxd --pack in/*
check "create plain" "$qxpack" create plain.qxd in/text.txt in/qxpd.bin
"$qxpack" list out.qxd > list.txt
check "list names every entry" test "$(wc -l <list.txt)" = 7
check "random data stays plain" grep -q '^random.bin .* plain$' list.txt
check "zeros are packed" grep -q '^zeros.raw .* packed$' list.txt
check "QXPD contents are always packed" grep -q '^qxpd.bin .* packed$' list.txt
check "QXPD packed even without --pack" grep -q '^qxpd.bin .* packed$' <("$qxpack" list plain.qxd)

for f in in/*; do
    name=$(basename "$f")
    "$qxpack" extract out.qxd "$name" "x_$name"
    check "extract $name" cmp -s "$f" "x_$name"
done
"$qxpack" extract out.qxd TEXT.TXT > stdout.txt
check "extract to standard output, any case" cmp -s in/text.txt stdout.txt
"$qxpack" extract out.qxd --all all > all.txt
check "extract --all names each entry and size" grep -qx 'zeros.raw  *200000' all.txt
check "extract --all: one line an entry" test "$(wc -l <all.txt)" = 7
for f in in/*; do check "all/$(basename "$f")" cmp -s "$f" "all/$(basename "$f")"; done

check "missing pack: status 1" status_is 1 "$qxpack" list nothing.qxd
check "missing entry: status 1" status_is 1 "$qxpack" extract out.qxd nope.raw
# A directory that does not fit, then data cut short: every entry that is there
# but cannot be read is called corrupt, the readable ones still come out.
head -c 100 out.qxd > cut.qxd
check "directory past the end: status 1" status_is 1 "$qxpack" list cut.qxd
check "directory past the end: corrupt" grep -q 'corrupt pack' err.txt
head -c 400000 out.qxd > short.qxd
"$qxpack" extract short.qxd --all part > part.txt 2>err.txt
check "extract --all of a cut pack: status 1" test $? = 1
check "extract --all: the first cut entry said" grep -q '^qxpack: corrupt entry ' <(head -n 1 err.txt)
more=$(sed -n 's/^qxpack: \([0-9]*\) more entries not written$/\1/p' err.txt)
check "extract --all: the rest counted, the readable written" \
    test "$(wc -l <err.txt)" -le 2 -a "$(($(wc -l <part.txt) + 1 + ${more:-0}))" = 7
! "$qxpack" list short.qxd >/dev/null 2>list_err.txt
check "list of a cut pack: status 1, a line for each cut entry" \
    test "$(grep -c '^qxpack: corrupt entry ' list_err.txt)" = $((1 + ${more:-0}))
check "... the first as extract --all names it" test "$(head -n 1 list_err.txt)" = "$(head -n 1 err.txt)"
cut_name=$(sed -n 's/^qxpack: corrupt entry //p' err.txt | head -n 1)
check "extract of a cut entry: corrupt" status_is 1 "$qxpack" extract short.qxd "$cut_name"
check "extract of a cut entry: says so" grep -q "corrupt entry $cut_name" err.txt
# An entry named ".." would be written outside the folder.
cp plain.qxd dots.qxd
printf '..\0\0\0\0\0\0\0\0' | dd of=dots.qxd bs=1 seek=12 conv=notrunc status=none
check "extract --all refuses a name leaving the folder" status_is 1 "$qxpack" extract dots.qxd --all dots
check "... and writes the other entries" test -f dots/qxpd.bin
# Control bytes in a name are escaped on the terminal and never become a file name.
cp plain.qxd esc.qxd
printf 'a\033[2Jb\0' | dd of=esc.qxd bs=1 seek=12 conv=notrunc status=none
check "list escapes control bytes" grep -q '^a\\x1B\[2Jb ' <("$qxpack" list esc.qxd)
check "extract --all refuses a control byte in a file name" status_is 1 "$qxpack" extract esc.qxd --all esc
check "... and writes the other entries" test -f esc/qxpd.bin

# A file that does not begin with the pack tag is no pack to any command,
# and a directory longer than a pack may have is refused for what it is.
head -c 1000000 /dev/zero > zeros.qxd
{ printf 'VORNKEPT'; head -c 100 /dev/zero; } > other.qxd # another tag of ours
for command in "list zeros.qxd" "extract zeros.qxd x.raw" "extract zeros.qxd --all z" \
    "check zeros.qxd" "list other.qxd"; do
    check "$command: status 1" status_is 1 "$qxpack" $command
    check "$command: not a pack" grep -q 'corrupt pack [a-z]*.qxd: not a pack' err.txt
done
# Names equal but for the case of A-Z are one name: extract --all writes the first.
mkdir -p case/1 case/2
printf 'first' > case/1/Same.txt
printf 'second' > case/2/same.txt
"$qxpack" create case.qxd case/1/Same.txt case/2/same.txt
check "extract --all: one file of names equal but for case" \
    sh -c '"$1" extract case.qxd --all case_out >/dev/null && [ "$(ls case_out)" = Same.txt ] && [ "$(cat case_out/Same.txt)" = first ]' - "$qxpack"
{ printf 'VORNPK\0\001'; printf '\001\000\020\000'; } > over.qxd # 1048577 entries
truncate -s 30M over.qxd
check "one entry over the limit: status 1" status_is 1 "$qxpack" list over.qxd
check "... said so" grep -q '1048577 entries is more than the 1048576 a pack may hold' err.txt

# extract --all of the most entries a pack may hold goes once through them:
# every name distinct, all but 16 refused as file names (so that the
# folder is not the cost), the first refused said and the others counted.
python3 - <<'EOF'
import struct
count = 1 << 20
records = bytearray()
for i in range(count):
    name = (b"f%07d" if i % 65536 == 0 else b"d/%07d") % i
    records += name.ljust(16, b"\0") + struct.pack("<II", 0, 12 + 24 * count)
open("most.qxd", "wb").write(b"VORNPK\0\1" + struct.pack("<i", count) + records)
EOF
timeout 120 "$qxpack" extract most.qxd --all most >most.txt 2>err.txt
check "extract --all of 1048576 entries: status 1" test $? = 1
check "... the 16 file names written" test "$(ls most | wc -l)" = 16 -a "$(wc -l <most.txt)" = 16
check "... the first refused said, the rest counted" \
    test "$(sed -n 2p err.txt)" = "qxpack: 1048559 more entries not written" -a "$(wc -l <err.txt)" = 2

# Only regular files are read, never waited on, never longer than a pack can be.
mkdir adir
mkfifo fifo
truncate -s 4G sparse.qxd
for what in adir fifo /dev/zero sparse.qxd; do
    check "list of $what: status 1" status_is 1 timeout 20 "$qxpack" list "$what"
    check "create from $what: status 1" status_is 1 timeout 20 "$qxpack" create none.qxd "$what"
done
check "... and nothing is written" test ! -e none.qxd
# A full disk (a file size limit here): status 1, the old file whole, no
# temporary file left behind.
full() { # its messages through a pipe, which the limit does not hold
    (trap '' XFSZ; ulimit -f 0; "$@" 2>&1 >/dev/null) | cat >&2
    return "${PIPESTATUS[0]}"
}
cp out.qxd keep.qxd
check "create on a full disk: status 1" status_is 1 full "$qxpack" create keep.qxd in/text.txt
check "... the old pack is whole" cmp -s out.qxd keep.qxd
check "extract on a full disk: status 1" status_is 1 full "$qxpack" extract out.qxd text.txt x.txt
check "... nothing is written" test ! -e x.txt
check "... no temporary file is left" test -z "$(find . -name '*.tmp-*')"

touch in/sixteen_chars_xx
check "16-character name: status 1" status_is 1 "$qxpack" create long.qxd in/sixteen_chars_xx
check "bad command: status 2" status_is 2 "$qxpack" frobnicate out.qxd
check "missing arguments: status 2" status_is 2 "$qxpack" extract out.qxd

# Help on standard output with status 0: all of it, or one command's.
check "help: status 0" "$qxpack" help >help.txt
check "help lists every command" test "$(grep -c '^  qxpack ' help.txt)" = 8
check "--help is help" sh -c '"$1" --help | cmp -s - help.txt' - "$qxpack"
check "help of a command" sh -c '"$1" help import | grep -q -- "--into PACK"' - "$qxpack"
check "a command's --help" sh -c '"$1" check --help | grep -q "^usage: qxpack check"' - "$qxpack"
check "help of no such command: status 2" status_is 2 "$qxpack" help frobnicate

# The built-in content comes out of the tool itself, the module with it.
check "extract --builtin --all" "$qxpack" extract --builtin --all builtin >/dev/null
check "... every item and the module" test "$(ls builtin | wc -l)" = 53 -a -s builtin/system2.xm
check "... as check finds them" test "$("$qxpack" check builtin | grep -c ' loose file .* ok$')" = 53
check "extract --builtin NAME" "$qxpack" extract --builtin T_TUN.RAW tun.raw
check "... the same bytes" cmp -s tun.raw builtin/t_tun.raw

checks_passed qxpack
