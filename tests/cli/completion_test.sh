#!/bin/bash
# The generated bash completion of quorvel-flash offers the commands, each command's options,
# the values of the options that take a few, and files after a command that takes one.
#   completion_test.sh quorvel-flash.bash-completion
script=$1
bash -n "$script" || exit 1
complete_words() {
    bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _quorvel_flash
             echo "${COMPREPLY[*]}"' _ "$script" "$@"
}
failed=0
expect() {
    local want=$1
    shift
    local got
    got=$(complete_words quorvel-flash "$@")
    if [ "$got" != "$want" ]; then
        echo "quorvel-flash $*: offered \"$got\", expected \"$want\""
        failed=1
    fi
}
expect "write" wr
expect "text-erase text-end" text-
expect "--loader --log" write --lo
expect "--json" info --j
expect "" checksum --p
expect "--port --pin" pin --p
expect "--strict --station" -p COM2 write --st
expect "--speed" -yp COM2 row-write --sp
expect "--speed --strict --station --scan --since --station-role --supervisor-role" --s
expect "--station-role --supervisor-role" prepare-database --s
expect "high" --mode h
expect "1.05 1.06" connect --loader = ""
expect "records row-write" help r
# After a command that reads a firmware image, only the images the tool reads and folders.
files=$(mktemp -d) || exit 1
trap 'rm -rf "$files"' EXIT
mkdir "$files/d"
touch "$files/a.mot" "$files/b.S19" "$files/c.bin" "$files/e.srec" "$files/f.ihx" "$files/g.HEX"
cd "$files" || exit 1
# Files come in the folder's order: compared sorted.
expect_files() {
    local want=$1
    shift
    local got
    got=$(complete_words quorvel-flash "$@" | tr ' ' '\n' | LC_ALL=C sort | xargs)
    if [ "$got" != "$want" ]; then
        echo "quorvel-flash $*: offered \"$got\", expected \"$want\""
        failed=1
    fi
}
expect_files "a.mot b.S19 d e.srec g.HEX" write ""
expect_files "a.mot b.S19 c.bin d e.srec f.ihx g.HEX" records ""
exit $failed
