#!/usr/bin/env bash
# Checks that includes follow the layout's one-way dependencies: host/
# knows nothing of the plug-in or the front ends, its interfaces nothing
# of its implementation, and its number texts nothing of its values;
# inside bayesnet/, encoders/ comes first, result/ and model/ next,
# reader/ last; the front ends and the benchmarks reach the plug-in only
# through the host interfaces (dlopen).
set -euo pipefail
root="${1:?usage: check_layout.sh SOURCE_DIR}"
cd "$root"

fail=0
# forbid FOLDER PREFIX...: no file below FOLDER includes "PREFIX...".
forbid() {
  local folder="$1"; shift
  for prefix in "$@"; do
    if found=$(grep -rnE "^#include \"${prefix}" "$folder" --include='*.h' --include='*.cpp'); then
      echo "${folder}/ must not include ${prefix}:"; echo "$found"; fail=1
    fi
  done
}

forbid host bayesnet/ engine/ cli/ service/ python/ bench/
forbid host/interfaces host/xml/ host/data/ host/text/
forbid host/text host/data/ host/xml/
forbid bayesnet/encoders bayesnet/result/ bayesnet/model/ bayesnet/reader/
forbid bayesnet/result bayesnet/model/ bayesnet/reader/
forbid bayesnet/model bayesnet/reader/
for frontend in engine cli service python bench; do
  forbid "$frontend" bayesnet/
done

if [ "$fail" -eq 0 ]; then echo "check_layout: every include follows the layout"; fi
exit "$fail"
