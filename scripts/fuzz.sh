#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ (or $PYLON_FUZZ_DIR) and runs each
# in turn, one process at a time, for SECONDS (default 10). Seeds are real files of the
# repository (test fixtures, and the members of any data archive already built); what the
# fuzzer finds is kept in build-fuzz/corpus/ between runs. A crash stops the script with its
# reproducer under build-fuzz/artifacts/.
#   scripts/fuzz.sh [SECONDS] [TARGET...]     TARGET: archive bin_mmf text_mmf scene image ogg gltf production
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_EACH="${1:-10}"
shift || true
TARGETS=("$@")
[ ${#TARGETS[@]} -gt 0 ] || TARGETS=(archive bin_mmf text_mmf scene image ogg gltf production)
DIR="${PYLON_FUZZ_DIR:-build-fuzz}"

CC=clang CXX=clang++ cmake -S . -B "$DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPYLON_BUILD_FUZZ=ON \
  -DPYLON_BUILD_TESTS=OFF -DPYLON_BUILD_BENCH=OFF > /dev/null
cmake --build "$DIR" -j2 --target $(printf 'fuzz_%s ' "${TARGETS[@]}") > /dev/null

# Seeds, rebuilt on every run from the repository's files.
rm -rf "$DIR/seeds"
mkdir -p "$DIR/seeds"/{archive,bin_mmf,text_mmf,scene,image,ogg,gltf,production} "$DIR/artifacts"
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
cp Demo/production/veltro12.txtpb Content/templates/production.txtpb "$DIR/seeds/production/"
cp examples/nightfall/production.txtpb "$DIR/seeds/production/nightfall.txtpb"
# The hostile battery, and the Khronos samples (where a shared/gltf-samples folder is found
# above the checkout) with their external buffers and images made data URIs, so each seed
# carries what it reads: sparse accessors, quantized and Draco meshes, texture transforms.
python3 tests/data/gltf/make_hostile.py "$DIR/hostile" > /dev/null 2>&1 || true
find "$DIR/hostile/files" -maxdepth 1 -type f \( -name '*.gltf' -o -name '*.glb' \) -size -64k -exec cp {} "$DIR/seeds/gltf/" \; 2>/dev/null || true
rm -rf "$DIR/hostile"
python3 - "$DIR/seeds/gltf" <<'PY'
import base64, json, os, sys
seeds, here = sys.argv[1], os.path.abspath(".")
above = [os.path.abspath(os.path.join(here, *[".."] * n)) for n in range(0, 4)]
samples = next((os.path.join(d, "shared", "gltf-samples") for d in above if os.path.isdir(os.path.join(d, "shared", "gltf-samples"))), None)
if samples:
    for root, _, names in os.walk(samples):
        for name in names:
            path = os.path.join(root, name)
            if name.endswith(".glb") and os.path.getsize(path) < (1 << 18):
                with open(path, "rb") as f, open(os.path.join(seeds, "sample-" + name.replace(" ", "_")), "wb") as out:
                    out.write(f.read())
            elif name.endswith(".gltf"):
                doc = json.load(open(path, encoding="utf-8"))
                for item in doc.get("buffers", []) + doc.get("images", []):
                    uri = item.get("uri", "")
                    local = os.path.join(root, uri.replace("%20", " "))
                    if uri and not uri.startswith("data:") and os.path.isfile(local):
                        kind = "image/png" if uri.endswith(".png") else "image/jpeg" if uri.endswith(".jpg") else "application/octet-stream"
                        item["uri"] = "data:%s;base64,%s" % (kind, base64.b64encode(open(local, "rb").read()).decode())
                text = json.dumps(doc).encode()
                if len(text) < (1 << 18):
                    seed = os.path.basename(root) + "-" + name
                    open(os.path.join(seeds, "sample-" + seed.encode("ascii", "replace").decode().replace(" ", "_").replace("?", "_")), "wb").write(text)
PY

# Leaks inside system libraries (DevIL's on damaged files) are theirs, not findings.
export LSAN_OPTIONS="suppressions=$(pwd)/scripts/lsan.supp:print_suppressions=0"
for target in "${TARGETS[@]}"; do
  mkdir -p "$DIR/corpus/$target"
  log="$DIR/fuzz_$target.log"
  dict=()
  [ -f "fuzz/$target.dict" ] && dict=(-dict="fuzz/$target.dict")
  if ! "$DIR/fuzz/fuzz_$target" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 -max_len=262144 \
       "${dict[@]}" -print_final_stats=1 -artifact_prefix="$DIR/artifacts/$target-" \
       "$DIR/corpus/$target" "$DIR/seeds/$target" > "$log" 2>&1; then
    tail -n 40 "$log"
    echo "fuzz: $target found a problem (see $log and $DIR/artifacts/)" >&2
    exit 1
  fi
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
  echo "fuzz: $target ok, $runs runs in ${SECONDS_EACH} s"
done
