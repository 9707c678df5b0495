#!/usr/bin/env bash
# Checks what libbayesnet.so exports: exactly the plug-in factory (by its
# plain C name), BayesNetModel, BayesNetClsResult and MCMV, plus what the
# compiler emits for the host interfaces and the standard library; none of
# the plug-in's internal classes.
set -euo pipefail
lib="$1"

# A sanitizer build adds its own instrumentation symbols (__odr_asan.*, ...);
# they are the compiler's, not the plug-in's interface.
symbols=$(nm -D --defined-only "$lib" | awk '{print $3}' | grep -vE '^__(odr_)?asan|^__ubsan|^__sanitizer' || true)
demangled=$(printf '%s\n' "$symbols" | c++filt)

fail=0
require() {
  if ! grep -qE "$1" <<<"$demangled"; then
    echo "missing export: $1"; fail=1
  fi
}

# The factory, unmangled.
if ! grep -qx 'GiveMyTranslator' <<<"$symbols"; then
  echo "missing export: GiveMyTranslator (plain C name)"; fail=1
fi
require '^BayesNetModel::GetScore\('
require '^BayesNetModel::BayesNetModel\(\)'
require '^vtable for BayesNetModel$'
require '^BayesNetClsResult::BayesNetClsResult\(ScoreDictVar const\*\)'
require '^BayesNetClsResult::operator=\('
require '^vtable for BayesNetClsResult$'
require '^MCMV::gMissingValue$'
require '^MCMV::IsMissing\(double\)'
require '^MCMV::Missing\(\)'

# Everything else that is exported must belong to an exported class, a host
# interface or the standard library.
allowed='^(GiveMyTranslator$|(vtable for |typeinfo for |typeinfo name for |VTT for |non-virtual thunk to |virtual thunk to )?(BayesNetModel|BayesNetClsResult|MCMV)(::|$)|(vtable for |typeinfo for |typeinfo name for )?(Score[A-Za-z]*|Base[A-Za-z]*|ResultAdvice|NumericValue|StringValue|VkException|MCScore::MCStatus)(::|$)|.*\bstd::|(guard variable for |vtable for |typeinfo for |typeinfo name for )?(__gnu_cxx|std)::|_init$|_fini$|_edata$|_end$|__bss_start$)'
unexpected=$(grep -vE "$allowed" <<<"$demangled" || true)
if [ -n "$unexpected" ]; then
  echo "unexpected exports:"; echo "$unexpected" | head -40; fail=1
fi

for internal in VkBinningEncoder VkCatNumericEncoder VkCatStringEncoder BayesNetTranslator IVkEncoder; do
  if grep -qE "(^| )${internal}::|for ${internal}$" <<<"$demangled"; then
    echo "internal class exported: $internal"; fail=1
  fi
done

if [ "$fail" -ne 0 ]; then exit 1; fi
echo "exports of $(basename "$lib") are as expected ($(wc -l <<<"$symbols") symbols)"
