# Bash completion for tarnvell: its options; after -C or --directory= a
# folder; otherwise .fnt, .pcx and .txt files (in any letter case) and the
# folders on the way to them.
_tarnvell() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  local IFS=$'\n' word words i  # file names may hold spaces
  COMPREPLY=()
  # "--directory=DIR" arrives as three words: the option, "=" and DIR.
  if [[ $cur == = ]]; then
    prev=${COMP_WORDS[COMP_CWORD - 1]} cur=""
  elif [[ $prev == = ]]; then
    prev=${COMP_WORDS[COMP_CWORD - 2]}
  fi
  # -C, or a cluster of one-letter options ending in it (-nC).
  if [[ $prev =~ ^-[ltnhV]*C$ || $prev == --directory ]]; then
    mapfile -t COMPREPLY < <(compgen -d -- "$cur")
    return
  fi
  for ((i = 1; i < COMP_CWORD; i++)); do
    [[ ${COMP_WORDS[i]} == -- ]] && break
  done
  if [[ $cur == -* && $i == "$COMP_CWORD" ]]; then
    mapfile -t COMPREPLY < <(compgen -W $'--list\n--test\n--json\n--directory=\n--no-clobber\n--help\n--version' -- "$cur")
    [[ ${COMPREPLY[0]} == *= ]] && compopt -o nospace
    return
  fi
  # Read as lines: a name is never taken for a pattern ("font[1].fnt", "*.fnt").
  mapfile -t words < <(compgen -f -- "$cur")
  for word in "${words[@]}"; do
    case ${word,,} in
      *.fnt | *.pcx | *.txt) COMPREPLY+=("$word") ;;
      *) [[ -d $word ]] && COMPREPLY+=("$word") ;;
    esac
  done
}
complete -o filenames -F _tarnvell tarnvell
