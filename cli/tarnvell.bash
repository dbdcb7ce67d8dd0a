# Bash completion for tarnvell: its options; after -C or --directory= a
# folder; otherwise .fnt, .pcx and .txt files (in any letter case) and the
# folders on the way to them.
_tarnvell() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  local IFS=$'\n' word i  # file names may hold spaces
  COMPREPLY=()
  # "--directory=DIR" arrives as three words: the option, "=" and DIR.
  if [[ $cur == = ]]; then
    prev=${COMP_WORDS[COMP_CWORD - 1]} cur=""
  elif [[ $prev == = ]]; then
    prev=${COMP_WORDS[COMP_CWORD - 2]}
  fi
  if [[ $prev == -C || $prev == --directory ]]; then
    COMPREPLY=($(compgen -d -- "$cur"))
    return
  fi
  for ((i = 1; i < COMP_CWORD; i++)); do
    [[ ${COMP_WORDS[i]} == -- ]] && break
  done
  if [[ $cur == -* && $i == "$COMP_CWORD" ]]; then
    COMPREPLY=($(compgen -W $'--list\n--test\n--json\n--directory=\n--no-clobber\n--help\n--version' -- "$cur"))
    [[ ${COMPREPLY[0]} == *= ]] && compopt -o nospace
    return
  fi
  for word in $(compgen -f -- "$cur"); do
    case ${word,,} in
      *.fnt | *.pcx | *.txt) COMPREPLY+=("$word") ;;
      *) [[ -d $word ]] && COMPREPLY+=("$word") ;;
    esac
  done
}
complete -o filenames -F _tarnvell tarnvell
