# bash completion for tavixDisp, tavixDispDemo and tavixSim: the options the
# program's --help lists, serial device paths after --device and --link, and
# file names after the options whose value is a file or a folder.
_tavix() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} name value options="" valued=" " files=" "
  # bash splits "--opt=value" at the "=".
  if [ "$cur" = "=" ]; then
    cur=""
  elif [ "$prev" = "=" ] && [ "$COMP_CWORD" -ge 2 ]; then
    prev=${COMP_WORDS[COMP_CWORD-2]}
  fi
  # Help lines like "  --record FILE   text" or "  -h, --help   text": the option and its value's name.
  while read -r name value; do
    options+=" $name"
    [ -n "$value" ] && valued+="$name "
    case $value in FILE | DIR | PATH | *.png) files+="$name " ;; esac
  done < <("${COMP_WORDS[0]}" --help 2>/dev/null | sed -nE 's/^ +(-[a-zA-Z], +)?(--[a-z-]+)( [A-Z][^ ]*)?.*/\2\3/p')
  if [ "$prev" = --device ] || [ "$prev" = --link ]; then
    COMPREPLY=($(compgen -W "$(compgen -G '/dev/cu.*'; compgen -G '/dev/ttyACM*'; compgen -G '/dev/ttyUSB*'; compgen -G '/dev/serial/by-id/*')" -- "$cur"))
    [ ${#COMPREPLY[@]} -gt 0 ] || COMPREPLY=($(compgen -f -- "${cur:-/dev/}"))
  elif [[ $files == *" $prev "* ]]; then
    COMPREPLY=($(compgen -f -- "$cur"))
  elif [[ $valued == *" $prev "* ]]; then
    COMPREPLY=()
  else
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
  fi
}
complete -F _tavix tavixDisp tavixDispDemo tavixSim
