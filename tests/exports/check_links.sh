#!/usr/bin/env bash
# Checks that none of the given binaries links the plug-in: the engine and
# every front end reach libbayesnet.so through dlopen only. For an
# executable or a shared library, `readelf -d` lists no libbayesnet among
# what it needs; for any of them, a static archive too, nothing defines the
# plug-in's entry point or its model class (the plug-in's objects linked in).
#
# usage: check_links.sh BINARY...
set -euo pipefail
if [ "$#" -eq 0 ]; then echo "usage: check_links.sh BINARY..." >&2; exit 2; fi

fail=0
for binary in "$@"; do
  name=$(basename "$binary")
  if [ ! -f "$binary" ]; then
    echo "$binary: missing (not built?)"; fail=1; continue
  fi
  if [[ "$binary" != *.a ]]; then
    dynamic=$(readelf -d "$binary") || { echo "$binary: readelf -d failed"; fail=1; continue; }
    if needed=$(grep -E '\(NEEDED\).*libbayesnet' <<<"$dynamic"); then
      echo "$name links the plug-in (readelf -d $binary):"; echo "$needed"; fail=1
    fi
  fi
  # nm -A prefixes each symbol with the file (and archive member); -C demangles.
  if defined=$(nm -A -C --defined-only "$binary" 2>/dev/null |
               grep -E ' (GiveMyTranslator|BayesNetModel::[A-Za-z_~]+\()'); then
    echo "$name holds the plug-in's code (nm $binary):"; echo "$defined" | head -5; fail=1
  fi
done

if [ "$fail" -eq 0 ]; then echo "check_links: none of $# binaries links the plug-in"; fi
exit "$fail"
