#!/usr/bin/env bash
# Every program's manual page lists exactly the options its --help lists, and
# man formats every page without a warning.
#   man_pages.sh MANDIR NAME=PROGRAM...
set -u
mandir=$1
shift
command -v man >/dev/null || { echo "SKIP: man is not installed"; exit 77; }
status=0

# Option names of --help: the indented lines that start with "-".
help_options() {
  "$1" --help | sed -nE 's/^ +(-[^ ].*)$/\1/p' | sed -E 's/  .*//; s/, /\n/g' |
    sed -E 's/[= ].*//' | sort -u
}

# Option names of the page's OPTIONS section: the tag line after each .TP.
page_options() {
  sed -n '/^\.SH OPTIONS/,/^\.SH /p' "$1" | sed -n '/^\.TP/{n;p}' | sed 's/\\-/-/g' |
    grep -oE '(^|[ "])-{1,2}[A-Za-z][-A-Za-z]*' | sed -E 's/^[ "]//' | sort -u
}

for arg in "$@"; do
  name=${arg%%=*}
  program=${arg#*=}
  page=$mandir/$name.1
  if [ ! -f "$page" ]; then
    echo "FAIL: $name has no manual page ($page)"
    status=1
    continue
  fi
  if ! diff <(help_options "$program") <(page_options "$page") >"$mandir/$name.diff"; then
    echo "FAIL: options of $name --help (<) and of $name(1) (>) differ:"
    cat "$mandir/$name.diff"
    status=1
  fi
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  if [ -n "$warnings" ]; then
    echo "FAIL: man warns about $name(1):"
    echo "$warnings"
    status=1
  fi
done
[ $status -eq 0 ] && echo "manual pages of $# programs agree with --help"
exit $status
