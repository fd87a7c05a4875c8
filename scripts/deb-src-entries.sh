#!/usr/bin/env bash
# Prints deb-src stanzas (deb822) for every enabled "deb" entry of this machine's apt sources
# whose suite belongs to the given Debian codename (bookworm, bookworm-updates,
# bookworm-security, ...), with the same URIs, suites, components and key. Both the deb822
# files (*.sources) and the one-line lists (sources.list, *.list) are read.
#
#   bash scripts/deb-src-entries.sh bookworm
set -euo pipefail
codename=$1
suite_re="^${codename}(-[a-z]+)?(/updates)?$"

emit() { # uris suites components signed_by
  local suites="" s
  for s in $2; do [[ $s =~ $suite_re ]] && suites+="${suites:+ }$s"; done
  [ -n "$suites" ] || return 0
  printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: %s\n' "$1" "$suites" "$3"
  [ -z "$4" ] || printf 'Signed-By: %s\n' "$4"
  printf '\n'
}

shopt -s nullglob
for f in /etc/apt/sources.list.d/*.sources; do
  types="" uris="" suites="" comps="" signed="" enabled=yes
  flush() {
    if [ "$enabled" != no ] && [[ " $types " == *" deb "* ]] && [ -n "$uris" ]; then
      emit "$uris" "$suites" "$comps" "$signed"
    fi
    types="" uris="" suites="" comps="" signed="" enabled=yes
  }
  while IFS= read -r line || [ -n "$line" ]; do
    case $line in
      \#*) ;;
      "") flush ;;
      Types:*) types=${line#Types:} ;;
      URIs:*) uris=$(echo ${line#URIs:}) ;;
      Suites:*) suites=$(echo ${line#Suites:}) ;;
      Components:*) comps=$(echo ${line#Components:}) ;;
      Signed-By:*) signed=$(echo ${line#Signed-By:}) ;;
      Enabled:*) enabled=$(echo ${line#Enabled:}) ;;
    esac
  done < "$f"
  flush
done

for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  [ -f "$f" ] || continue
  while read -r type rest; do
    [ "$type" = deb ] || continue
    signed=""
    if [[ $rest == \[* ]]; then
      opts=${rest%%]*}; rest=${rest#*]}
      [[ $opts =~ signed-by=([^ ]+) ]] && signed=${BASH_REMATCH[1]}
    fi
    read -r uri suite comps <<< "$rest"
    emit "$uri" "$suite" "$comps" "$signed"
  done < "$f"
done
