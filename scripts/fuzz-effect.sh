#!/usr/bin/env bash
# Builds the effect parser's libFuzzer target with clang (address and undefined-behaviour
# sanitizers) into build-fuzz-effect/ and runs it for SECONDS (default 10), one job. Seeds are
# the repository's effect files; new inputs are kept in build-fuzz-effect/corpus/ between
# runs, a crash stops the script with its reproducer in build-fuzz-effect/artifacts/.
#   scripts/fuzz-effect.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_EACH="${1:-10}"
DIR="${PYLON_FUZZ_EFFECT_DIR:-build-fuzz-effect}"
mkdir -p "$DIR/seeds" "$DIR/corpus" "$DIR/artifacts"
clang++ -std=c++20 -g -O1 -fno-omit-frame-pointer -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -Wall -Wextra -IEngine fuzz/fuzz_effect.cpp Engine/cg/EffectParser.cpp Engine/cg/StateTable.cpp Engine/cg/TypeTable.cpp \
  -o "$DIR/fuzz_effect"
find Content tests docs -name '*.cgfx' -exec cp {} "$DIR/seeds/" \; 2>/dev/null || true
# The documented example, as a seed of its own.
python3 - "$DIR/seeds/documented.cgfx" <<'PY'
import re, sys
text = open("docs/effect-format.md").read()
block = re.search(r"```\n(.*?)```\n", text, re.S)
open(sys.argv[1], "w").write(block.group(1) if block else "")
PY
log="$DIR/fuzz_effect.log"
if ! "$DIR/fuzz_effect" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
     -print_final_stats=1 -dict=fuzz/effect.dict -artifact_prefix="$DIR/artifacts/effect-" \
     "$DIR/corpus" "$DIR/seeds" > "$log" 2>&1; then
  tail -n 40 "$log"
  echo "fuzz: effect found a problem (see $log and $DIR/artifacts/)" >&2
  exit 1
fi
runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1 || echo "?")
echo "fuzz: effect ok, $runs runs in ${SECONDS_EACH} s"
