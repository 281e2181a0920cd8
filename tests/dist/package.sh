#!/usr/bin/env bash
# The Debian package as a user gets it: built by CPack from the build tree,
# its dependencies installed on this machine (dpkg -s), installed with dpkg
# into a root of its own (or into the machine itself with
# RANGELOOM_PACKAGE_TEST=system, as root), the programs run from PATH outside
# the source tree, every manual page read with man -l, then removed with
# dpkg -r, leaving nothing behind.
#   package.sh BUILD OUT VERSION PROGRAM...
set -u
build=$1 out=$2 version=$3
shift 3
programs=("$@")

fail() {
  echo "FAIL: $*"
  exit 1
}
for tool in cpack dpkg dpkg-deb dpkg-shlibdeps man; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

rm -rf "$out"
mkdir -p "$out/work"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 ||
  { cat "$out/cpack.log"; fail "cpack could not build the package"; }
deb=$(ls "$out"/*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "cpack wrote no package"
[ "$(dpkg-deb -f "$deb" Package)" = rangeloom ] || fail "the package is not named rangeloom"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is not $version"

# Every dependency (one of each set of alternatives) is installed here, in a
# version the package accepts: the package installs on a machine that built it.
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libglut libGLU libpng libtbb libfreetype libpugixml; do
  case "$depends" in *"${lib,,}"*) ;; *) fail "Depends lacks $lib: $depends" ;; esac
done
IFS=',' read -ra groups <<<"$depends"
for group in "${groups[@]}"; do
  met=0
  IFS='|' read -ra alternatives <<<"$group"
  for alternative in "${alternatives[@]}"; do
    read -r name relation wanted <<<"$(echo "$alternative" | tr -d '()')"
    dpkg -s "$name" 2>/dev/null | grep -qx 'Status: install ok installed' || continue
    if [ -n "${relation:-}" ]; then
      have=$(dpkg-query -W -f='${Version}' "$name")
      dpkg --compare-versions "$have" "$relation" "$wanted" || continue
    fi
    met=1
  done
  [ $met -eq 1 ] || fail "dependency not installed: $group"
done

if [ "${RANGELOOM_PACKAGE_TEST:-}" = system ]; then
  [ "$(id -u)" -eq 0 ] || fail "RANGELOOM_PACKAGE_TEST=system needs root"
  dpkg-query -W rangeloom >/dev/null 2>&1 && fail "rangeloom is installed already"
  dpkg=(dpkg)
  root=""
else
  # A dpkg database of its own: nothing of the machine is touched, and the
  # dependencies (checked above against the machine) are not looked for there.
  root=$out/root
  mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
  : >"$root/var/lib/dpkg/status"
  dpkg=(dpkg "--root=$root" --force-depends)
  [ "$(id -u)" -eq 0 ] || dpkg+=(--force-not-root)
fi
"${dpkg[@]}" -i "$deb" >"$out/install.log" 2>&1 || { cat "$out/install.log"; fail "dpkg -i failed"; }
"${dpkg[@]}" -s rangeloom | grep -qx 'Status: install ok installed' || fail "dpkg -s: not installed"
mapfile -t files < <("${dpkg[@]}" -L rangeloom)

# Run from a folder outside the source and build trees, by name from PATH.
export PATH="$root/usr/bin:$PATH"
cd "$out/work" || fail "no work folder"
for program in "${programs[@]}"; do
  [ "$(command -v "$program")" = "$root/usr/bin/$program" ] || fail "$program is not on PATH"
  [ "$("$program" --version)" = "$program $version" ] || fail "$program --version: $("$program" --version)"
  page=$root/usr/share/man/man1/$program.1.gz
  if [ -f "$page" ]; then
    LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" 2>&1 | grep -q "^NAME" || fail "man -l $page"
  elif ! grep -qs 'path-exclude.*/usr/share/man' /etc/dpkg/dpkg.cfg.d/*; then
    # (Slim images tell dpkg to leave manual pages out; elsewhere they must be there.)
    fail "no manual page $page"
  fi
  [ -f "$root/usr/share/bash-completion/completions/$program" ] || fail "no completion for $program"
done
[ -f "$root/usr/share/doc/rangeloom/README.md" ] || fail "README.md is not installed"
rangeloom-sample --out sample >sample.log 2>&1 || fail "rangeloom-sample: $(cat sample.log)"
rangeloom-clean --summary sample/sample.conf >summary.txt 2>&1 || fail "rangeloom-clean --summary: $(cat summary.txt)"
grep -q '^total ' summary.txt || fail "no total line: $(cat summary.txt)"
grep -rlF "$build" "$root/usr" && fail "installed files name the build tree"
[ -z "$(ls -A sample | grep -v '\.conf$\|\.ply$\|\.strays$')" ] || fail "--summary wrote files"

"${dpkg[@]}" -r rangeloom >"$out/remove.log" 2>&1 || { cat "$out/remove.log"; fail "dpkg -r failed"; }
"${dpkg[@]}" -s rangeloom 2>/dev/null | grep -q '^Status: install ok installed' && fail "still installed"
for f in "${files[@]}"; do
  # Folders shared with other packages (/usr/bin, ...) stay; files must go.
  [ -d "$root$f" ] && continue
  [ -e "$root$f" ] && fail "left behind after dpkg -r: $f"
done
if [ -n "$root" ] && [ -n "$(find "$root" -path "$root/var" -prune -o -type f -print)" ]; then
  fail "left behind after dpkg -r: $(find "$root" -path "$root/var" -prune -o -type f -print)"
fi
echo "package $(basename "$deb"): installed, used and removed"
