#!/usr/bin/env bash
# Checks the layering of the sources, and with a build folder given, the core tests' link lines:
#   - a core file (MARLO_CORE_SOURCES in src/CMakeLists.txt) includes only core headers of the
#     project, and no header of Qt Gui, Qt Widgets or Qt Network;
#   - a scoring/ file includes no link/ or screens/ header;
#   - a link/ file includes no screens/ header of the station layer;
#   - the core tests (MARLO_CORE_TESTS in tests/CMakeLists.txt) link without Qt Gui and Qt Widgets,
#     as CMake itself resolves their link libraries (tests/link-libraries.txt in the build folder,
#     written at generation time: any generator).
#
#   bash scripts/check-layers.sh [build-folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-}

# The words of a set(NAME ...) in a CMake file, one a line.
cmake_list() {
  sed -n "/^set($2\b/,/)/p" "$1" | sed "s/^set($2//; s/)//" | tr -s ' \t' '\n' | sed '/^$/d'
}

mapfile -t core < <(cmake_list src/CMakeLists.txt MARLO_CORE_SOURCES)
[ "${#core[@]}" -gt 0 ] || { echo "check-layers: no core sources found in src/CMakeLists.txt" >&2; exit 1; }
declare -A is_core=()
for f in "${core[@]}"; do is_core[$f]=1; done

failures=0
fail() { echo "check-layers: $*" >&2; failures=$((failures + 1)); }

# The project headers a file includes (as written, relative to src/).
project_includes() { sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\.h\)".*/\1/p' "$1"; }

for f in "${core[@]}"; do
  [ -f "src/$f" ] || { fail "core source src/$f does not exist"; continue; }
  while read -r inc; do
    [ -n "$inc" ] || continue
    [ -n "${is_core[$inc]:-}" ] || fail "src/$f (core) includes $inc, which is not in the core"
  done < <(project_includes "src/$f")
  if grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<Qt(Gui|Widgets|Network)/' "src/$f"; then
    fail "src/$f (core) includes a header of Qt Gui, Qt Widgets or Qt Network"
  fi
done

for f in src/scoring/*.cpp src/scoring/*.h; do
  while read -r inc; do
    case $inc in link/* | screens/*) fail "$f includes $inc: scoring includes nothing of the link or the screens" ;; esac
  done < <(project_includes "$f")
done

for f in src/link/*.cpp src/link/*.h; do
  while read -r inc; do
    case $inc in
      screens/*) [ -n "${is_core[$inc]:-}" ] || fail "$f includes $inc: the link does not reach up into the screens" ;;
    esac
  done < <(project_includes "$f")
done

if [ -n "$build" ]; then
  # CMake writes what every target the core tests reach links, whatever the generator:
  # "target: link libraries | libraries passed on", lists separated by ";".
  links="$build/tests/link-libraries.txt"
  if [ ! -f "$links" ]; then
    fail "no $links: configure the build folder with CMake first"
  else
    declare -A libs_of=()
    while IFS= read -r line; do
      name=${line%%: *}
      rest=${line#*: }
      libs_of[$name]="${rest/ | /;}"
    done < "$links"
    mapfile -t tests < <(cmake_list tests/CMakeLists.txt MARLO_CORE_TESTS)
    checked=0
    before=$failures
    for t in "${tests[@]}"; do
      [ -n "${libs_of[$t]+x}" ] || { fail "$t is not in $links"; continue; }
      checked=$((checked + 1))
      # Everything the test links, directly or through what it links: a walk over the lines.
      declare -A reached=([$t]=1)
      todo=("$t")
      while [ "${#todo[@]}" -gt 0 ]; do
        current=${todo[0]}
        todo=("${todo[@]:1}")
        IFS=';' read -r -a deps <<< "${libs_of[$current]:-}"
        for d in "${deps[@]}"; do
          d=${d#\$<LINK_ONLY:}
          d=${d%>}
          [ -n "$d" ] && [ -z "${reached[$d]:-}" ] || continue
          reached[$d]=1
          case $d in
            Qt6::Gui | Qt6::Widgets | Qt6::GuiPrivate | Qt6::WidgetsPrivate | marlo)
              fail "$t links $d (through $current): the core tests link without Qt Gui and Qt Widgets" ;;
          esac
          todo+=("$d")
        done
      done
      unset reached
    done
    [ "$checked" -gt 0 ] || fail "no core test found in $links"
    [ "$failures" -gt "$before" ] || echo "check-layers: $checked core tests link without Qt Gui and Qt Widgets"
  fi
fi

if [ "$failures" -gt 0 ]; then
  echo "check-layers: $failures fault(s)" >&2
  exit 1
fi
echo "check-layers: ${#core[@]} core files include only the core; scoring and link keep to their layers"
