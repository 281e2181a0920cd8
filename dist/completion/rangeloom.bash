# bash completion for the rangeloom programs: their options (read from the
# program's own --help, so they are always the program's), the values of the
# options that take a file, a folder or a word, and the kinds of file each
# program reads.

# Prints the options of program $1, one a line, as its --help lists them:
# "-t, --threshold=DIST" gives "-t" and "--threshold=".
_rangeloom_options() {
  "$1" --help 2>/dev/null | sed -nE 's/^ +(-[^ ].*)$/\1/p' | sed -E 's/  .*//; s/, /\n/g' |
    sed -E 's/^(-[^ =]+=).*/\1/; s/^(-[^ =]+) .*/\1/'
}

# Files of the extensions $2 (such as "conf ptx e57", any letter case) and
# folders, for the word $1.
_rangeloom_files() {
  local word=$1 name extension
  while IFS= read -r name; do
    if [ -d "$name" ]; then
      COMPREPLY+=("$name/")
      continue
    fi
    for extension in $2; do
      case "${name,,}" in
        *".$extension")
          COMPREPLY+=("$name")
          break ;;
      esac
    done
  done < <(compgen -f -- "$word")
}

_rangeloom_dirs() {
  local name
  while IFS= read -r name; do COMPREPLY+=("$name/"); done < <(compgen -d -- "$1")
}

_rangeloom() {
  local program=${1##*/} cur=${COMP_WORDS[COMP_CWORD]} prev=""
  local option="" value
  COMPREPLY=()
  [ "$COMP_CWORD" -gt 0 ] && prev=${COMP_WORDS[COMP_CWORD - 1]}
  # "--out=DIR" arrives as the words "--out", "=", "DIR" (or "--out", "=").
  if [ "$cur" = "=" ]; then
    option=$prev
    cur=""
  elif [ "$prev" = "=" ] && [ "$COMP_CWORD" -gt 1 ]; then
    option=${COMP_WORDS[COMP_CWORD - 2]}
  else
    option=$prev
  fi

  # The value of an option.
  case "$program:$option" in
    rangeloom-clean:-o | rangeloom-clean:--out | rangeloom-clean:--work | rangeloom-scanconvert:-o | \
    rangeloom-scanconvert:--out | rangeloom-sample:--out)
      _rangeloom_dirs "$cur"
      return ;;
    rangeloom-clean:-m | rangeloom-clean:--merge)
      _rangeloom_files "$cur" "ply"
      return ;;
    rangeloom-clean:--histogram)
      _rangeloom_files "$cur" "csv"
      return ;;
    rangeloom-clean:--plot)
      _rangeloom_files "$cur" "png"
      return ;;
    rangeloom-register:-o | rangeloom-register:--out)
      _rangeloom_files "$cur" "conf"
      return ;;
    rangeloom-register:--fix)
      # The scans the configuration on the command line names.
      local word conf=""
      for word in "${COMP_WORDS[@]:1}"; do
        [[ ${word,,} == *.conf && -f $word ]] && conf=$word
      done
      [ -n "$conf" ] &&
        mapfile -t COMPREPLY < <(compgen -W "$(awk '$1 == "bmesh" { print $2 }' "$conf")" -- "$cur")
      return ;;
    rangeloom-campaign:--scene)
      mapfile -t COMPREPLY < <(compgen -W "terrain room facade" -- "$cur")
      return ;;
    rangeloom:-display | rangeloom:-geometry | *:-t | *:--threshold | *:-s | *:--steps | \
    *:-j | *:--threads | *:--bins | *:-r | *:--radius | *:--scans | *:--cols | \
    *:--rows | *:--spacing | *:--strays | *:--seed | *:--stations | *:--raster)
      return ;;
  esac

  if [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$(_rangeloom_options "$1")" -- "$cur")
    # An option that takes its value after "=" goes on without a space.
    if [ ${#COMPREPLY[@]} -eq 1 ] && [[ ${COMPREPLY[0]} == *= ]]; then
      compopt -o nospace 2>/dev/null
    fi
    return
  fi

  # The files the program reads.
  compopt -o filenames -o nospace 2>/dev/null
  case "$program" in
    rangeloom) _rangeloom_files "$cur" "m ply conf ptx e57" ;;
    rangeloom-clean) _rangeloom_files "$cur" "conf ptx e57" ;;
    rangeloom-register) _rangeloom_files "$cur" "conf" ;;
    rangeloom-scanconvert) _rangeloom_files "$cur" "ptx e57" ;;
    rangeloom-torus) _rangeloom_files "$cur" "m" ;;
    rangeloom-campaign) _rangeloom_dirs "$cur" ;;
    rangeloom-plyconvert)
      # IN.ply OUT.ply ENCODING: the third operand is the encoding.
      local operands=0 i
      for ((i = 1; i < COMP_CWORD; i++)); do
        [[ ${COMP_WORDS[i]} != -* ]] && operands=$((operands + 1))
      done
      if [ "$operands" -ge 2 ]; then
        mapfile -t COMPREPLY < <(compgen -W "ascii binary_little_endian binary_big_endian" -- "$cur")
        compopt +o nospace 2>/dev/null
      else
        _rangeloom_files "$cur" "ply"
      fi ;;
  esac
  # A lone file (not a folder) is complete: a space after it.
  if [ ${#COMPREPLY[@]} -eq 1 ] && [[ ${COMPREPLY[0]} != */ ]]; then
    compopt +o nospace 2>/dev/null
  fi
}

complete -F _rangeloom rangeloom rangeloom-clean rangeloom-register rangeloom-scanconvert \
  rangeloom-sample rangeloom-campaign rangeloom-torus rangeloom-plyconvert
