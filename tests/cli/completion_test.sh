#!/usr/bin/env bash
# The bash completion offers the commands, every option each command's --help
# lists, folders after --out-dir and --tree, and photos after -o.
# Usage: completion_test.sh PROSVITEK-CLI COMPLETION-FILE (exit 77: skipped)
set -uo pipefail
cli=$1
completion=$2
loader=/usr/share/bash-completion/bash_completion
[ -r "$loader" ] || { echo "bash-completion is not installed"; exit 77; }
. "$loader"
. "$completion"

# What the completion offers for a command line whose last word is being typed.
offered() {
  COMP_WORDS=("$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE="$*"
  COMP_POINT=${#COMP_LINE}
  COMPREPLY=()
  _prosvitek_cli prosvitek-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  printf '%s\n' "${COMPREPLY[@]}" | sort
}
status=0
expect() {  # expect WHAT EXPECTED ACTUAL
  [ "$2" = "$3" ] || { printf '%s: expected [%s], offered [%s]\n' "$1" "$2" "$3"; status=1; }
}

expect "commands" "$(printf '%s\n' analyse brighten exif | sort)" "$(offered prosvitek-cli '')"
for command in analyse brighten exif; do
  all=$(offered prosvitek-cli "$command" -)
  for option in $("$cli" "$command" --help | grep -oE '^  -[^ ]+' | tr ',' ' '); do
    grep -qx -- "$option" <<<"$all" || { echo "$command: $option is not offered"; status=1; }
  done
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" && mkdir folder && touch photo.jpg notes.txt
expect "after --out-dir" "folder" "$(offered prosvitek-cli brighten --out-dir '')"
expect "after --tree" "folder" "$(offered prosvitek-cli brighten --out-dir o --tree '')"
expect "after -o" "$(printf '%s\n' folder photo.jpg)" "$(offered prosvitek-cli brighten -o '')"
expect "photos" "$(printf '%s\n' folder photo.jpg)" "$(offered prosvitek-cli brighten -j 2 '')"
expect "a number" "" "$(offered prosvitek-cli brighten --quality '')"
exit $status
