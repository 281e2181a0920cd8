#!/usr/bin/env bash
# The bash completion: it is registered for every installed program, offers
# each program's options from its --help, and the files and folders each
# option and operand takes.
#   completion.sh SCRIPT NAME=PROGRAM...
set -u
script=$1
shift
status=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" && mkdir folder && touch site.E57 notes.txt cloud.ply
printf 'camera 0 0 1 0 0 0 1\nbmesh bun000.ply 0 0 0 0 0 0 1\nbmesh bun045.ply 0 0 0 0 0 0 1\n' >scans.conf

declare -A path
for arg in "$@"; do path[${arg%%=*}]=${arg#*=}; done
# shellcheck source=/dev/null
source "$script"

# complete WORD... : the completions of the last word, sorted, on one line.
complete_words() {
  local -a words=("$@")
  COMP_WORDS=("${path[${words[0]}]}" "${words[@]:1}")
  COMP_CWORD=$((${#words[@]} - 1))
  COMPREPLY=()
  _rangeloom "${path[${words[0]}]}" 2>/dev/null
  printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' '
}

expect() {
  local want=$1
  shift
  local got
  got=$(complete_words "$@")
  if [ "$got" != "$want" ]; then
    echo "FAIL: completing '$*': got '$got', want '$want'"
    status=1
  fi
}

for name in "${!path[@]}"; do
  complete -p "$name" >/dev/null 2>&1 || { echo "FAIL: no completion for $name"; status=1; }
  case " $(complete_words "$name" -) " in
    *" --version "*" "* | *" --help "*" --version "*) ;;
    *) echo "FAIL: $name - does not offer --help and --version"; status=1 ;;
  esac
done
expect "folder/ scans.conf site.E57 " rangeloom-clean ""
expect "--threads= --threshold= " rangeloom-clean --th
expect "folder/ " rangeloom-clean --out ""
expect "folder/ " rangeloom-clean --out = ""
expect "cloud.ply folder/ " rangeloom-clean --merge ""
expect "cloud.ply folder/ scans.conf site.E57 " rangeloom ""
expect "room " rangeloom-campaign out --scene r
expect "bun000.ply bun045.ply " rangeloom-register scans.conf --fix ""
expect "binary_big_endian binary_little_endian " rangeloom-plyconvert a.ply b.ply bin
[ $status -eq 0 ] && echo "completion of $# programs works"
exit $status
