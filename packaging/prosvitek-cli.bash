# bash completion for prosvitek-cli: its commands, each command's options,
# and the kind of name an option takes (a photo, a folder, any file, a number).

_prosvitek_cli() {
  local cur prev words cword
  _init_completion || return

  local command="" i
  for ((i = 1; i < cword; i++)); do
    case ${words[i]} in
      analyse | brighten | exif) command=${words[i]}; break ;;
    esac
  done
  if [[ -z $command && $cur == -* ]]; then
    COMPREPLY=($(compgen -W '-h --help --version' -- "$cur"))
    return
  elif [[ -z $command ]]; then
    COMPREPLY=($(compgen -W 'analyse brighten exif' -- "$cur"))
    return
  fi

  local options
  case $command in
    analyse) options='--json --max-memory -h --help' ;;
    brighten)
      options='--strength --threshold --boost --shift --keep-metadata --quality -j -o --out-dir
               --max-memory --files-from -0 --null --tree --skip-existing --report -h --help' ;;
    exif) options='--summary --trace --makernote --tags --json -h --help' ;;
  esac

  case $prev in
    --strength | --threshold | --boost | --quality | -j | --max-memory)
      return ;;  # a number
    --out-dir | --tree)
      _filedir -d
      return ;;
    -o)
      _filedir '@(jpg|jpeg|jpe|JPG|JPEG|JPE)'
      return ;;
    --files-from | --report)
      _filedir
      return ;;
  esac

  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
  elif [[ $command == exif ]]; then
    _filedir
  else
    _filedir '@(jpg|jpeg|jpe|JPG|JPEG|JPE)'
  fi
}
complete -F _prosvitek_cli prosvitek-cli
