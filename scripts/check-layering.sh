#!/bin/sh
# Fails when a layer includes a header of a layer above it, printing the offending lines:
#   kernels/          may not include imageclasses/, vorlane/ or tools/;
#   platform/         may not include kernels/, colourfunctions/, imageclasses/, vorlane/ or tools/;
#   colourfunctions/  may not include kernels/, imageclasses/, vorlane/ or tools/.
set -eu
cd "$(dirname "$0")/.."

# Forwarding headers kept at their old paths for code outside the library that still
# includes them (file, then the header it forwards to).
ALLOWED='kernels/pixels/format_access.h:#include "imageclasses/internal/format_access.h"'

status=0
check() {
  dir=$1
  pattern=$2
  found=$(grep -rnE --include='*.h' --include='*.cpp' \
            "^[[:space:]]*#[[:space:]]*include[[:space:]]*[<\"]($pattern)/" "$dir" |
          while IFS= read -r line; do
            entry=$(printf '%s\n' "$line" | sed -E 's/^([^:]*):[0-9]+:[[:space:]]*/\1:/')
            [ "$entry" = "$ALLOWED" ] || printf '%s\n' "$line"
          done)
  if [ -n "$found" ]; then
    echo "layering: $dir/ includes what it may not ($pattern):" >&2
    printf '%s\n' "$found" >&2
    status=1
  fi
}

check kernels 'imageclasses|vorlane|tools'
check platform 'kernels|colourfunctions|imageclasses|vorlane|tools'
check colourfunctions 'kernels|imageclasses|vorlane|tools'
exit $status
