#!/usr/bin/env bash
# Checks the batch tool's bash completion: it offers every option that --help lists, the fixed
# values of an option, and files where a file is asked for.
#   completion_test.sh COMPLETION_SCRIPT VELANOX_NR_CLI
set -uo pipefail
script=$1 cli=$2
main=/usr/share/bash-completion/bash_completion
if [[ ! -r $main ]]; then
  echo "bash-completion is not installed ($main)"
  [[ -n ${CI:-} ]] && exit 1
  exit 77 # skipped
fi
# shellcheck disable=SC1090
source "$main"
# shellcheck disable=SC1090
source "$script"

failures=0
check() { # description, expected word, words...
  local what=$1 expected=$2
  shift 2
  COMP_WORDS=("$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE="${COMP_WORDS[*]}"
  COMP_POINT=${#COMP_LINE}
  COMPREPLY=()
  _velanox_nr_cli velanox-nr-cli "${COMP_WORDS[-1]}" "${COMP_WORDS[-2]}"
  local word
  for word in "${COMPREPLY[@]}"; do
    [[ $word == "$expected" ]] && return 0
  done
  echo "FAILED: $what: '$expected' not offered for '${COMP_WORDS[*]}' (got: ${COMPREPLY[*]})"
  failures=$((failures + 1))
}

# Every long option of --help.
options=$("$cli" --help | grep -o -- '--[a-z][a-z-]*' | sort -u)
[[ -n $options ]] || { echo "FAILED: no options in --help"; exit 1; }
for option in $options; do
  check "option" "$option" velanox-nr-cli "${option:0:4}"
done

check "mode" high-noise velanox-nr-cli --mode h
check "mode" auto velanox-nr-cli --mode a
check "format" tif velanox-nr-cli --format t
check "output window" edges velanox-nr-cli --output-window e
check "crop" 16:9 velanox-nr-cli --crop 1
check "files-from stdin" - velanox-nr-cli --files-from ""

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
touch "$folder/warm.cpf" "$folder/photo.jpg"
cd "$folder" || exit 1
check "profile file" warm.cpf velanox-nr-cli --match-profile w
check "input file" photo.jpg velanox-nr-cli -q p

count=$(echo "$options" | wc -l)
if ((failures > 0)); then
  echo "$failures completion check(s) failed"
  exit 1
fi
echo "completion: all $count options and the value lists offered"
