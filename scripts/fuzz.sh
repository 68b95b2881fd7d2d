#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ (or $PYLON_FUZZ_DIR) and runs each
# in turn, one process at a time, for SECONDS (default 10). Seeds are real files of the
# repository (test fixtures, and the members of any data archive already built); what the
# fuzzer finds is kept in build-fuzz/corpus/ between runs. A crash stops the script with its
# reproducer under build-fuzz/artifacts/.
#   scripts/fuzz.sh [SECONDS] [TARGET...]     TARGET: archive bin_mmf text_mmf scene image ogg gltf
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_EACH="${1:-10}"
shift || true
TARGETS=("$@")
[ ${#TARGETS[@]} -gt 0 ] || TARGETS=(archive bin_mmf text_mmf scene image ogg gltf)
DIR="${PYLON_FUZZ_DIR:-build-fuzz}"

CC=clang CXX=clang++ cmake -S . -B "$DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPYLON_BUILD_FUZZ=ON \
  -DPYLON_BUILD_TESTS=OFF -DPYLON_BUILD_BENCH=OFF > /dev/null
cmake --build "$DIR" -j2 --target $(printf 'fuzz_%s ' "${TARGETS[@]}") > /dev/null

# Seeds, rebuilt on every run from the repository's files.
rm -rf "$DIR/seeds"
mkdir -p "$DIR/seeds"/{archive,bin_mmf,text_mmf,scene,image,ogg,gltf} "$DIR/artifacts"
python3 - "$DIR/seeds" tests/data/*.zip tests/data/resources/*.zip build/data.zip <<'PY'
import os, shutil, sys, zipfile
seeds, sources = sys.argv[1], sys.argv[2:]
def keep(kind, name, data):
    with open(os.path.join(seeds, kind, name.replace("/", "_")[-80:]), "wb") as f:
        f.write(data)
for path in sources:
    if not os.path.isfile(path):
        continue
    if os.path.getsize(path) < (1 << 20):
        shutil.copy(path, os.path.join(seeds, "archive", os.path.basename(path)))
    with zipfile.ZipFile(path) as z:
        for info in z.infolist():
            if info.filename.endswith(".ogg"):
                # The headers and the first pages: enough to stream from.
                keep("ogg", info.filename, z.open(info).read(200000))
                continue
            if info.file_size > (1 << 20):
                continue
            data = z.read(info)
            if info.filename.endswith(".mmf"):
                keep("text_mmf" if data.lstrip()[:1] == b"<" else "bin_mmf", info.filename, data)
            elif info.filename.endswith(".pb"):
                keep("scene", info.filename, data)
            elif info.filename.endswith((".png", ".jpg", ".bmp", ".dds")):
                keep("image", info.filename, data)
PY
# Small images of the other accepted forms.
for form in bmp jpg png; do convert -size 8x4 gradient:red-blue "$DIR/seeds/image/small.$form" || true; done
cp tests/data/resources/*.pb "$DIR/seeds/scene/"
cp tests/data/resources/mesh-*.bmmf "$DIR/seeds/bin_mmf/"
cp tests/data/resources/mesh-*.mmf "$DIR/seeds/text_mmf/"
cp tests/data/gltf/*.glb tests/data/gltf/*.gltf "$DIR/seeds/gltf/"

# Leaks inside system libraries (DevIL's on damaged files) are theirs, not findings.
export LSAN_OPTIONS="suppressions=$(pwd)/scripts/lsan.supp:print_suppressions=0"
for target in "${TARGETS[@]}"; do
  mkdir -p "$DIR/corpus/$target"
  log="$DIR/fuzz_$target.log"
  if ! "$DIR/fuzz/fuzz_$target" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 -max_len=262144 \
       -print_final_stats=1 -artifact_prefix="$DIR/artifacts/$target-" \
       "$DIR/corpus/$target" "$DIR/seeds/$target" > "$log" 2>&1; then
    tail -n 40 "$log"
    echo "fuzz: $target found a problem (see $log and $DIR/artifacts/)" >&2
    exit 1
  fi
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
  echo "fuzz: $target ok, $runs runs in ${SECONDS_EACH} s"
done
