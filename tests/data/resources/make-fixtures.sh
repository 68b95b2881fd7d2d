#!/usr/bin/env bash
# Regenerates the resource test fixtures from their sources, with tools other than ours:
#   archive-python.zip  Python's zipfile (stored and deflated entries, case-only duplicates)
#   archive-zip.zip     the Info-ZIP `zip` command
#   scene-*.pb          `protoc --encode` of scene-*.txtpb, against the scene schema or a
#                       variant of it (packed repeated fields; extra fields the real schema
#                       does not know, to prove they are skipped)
# Run from anywhere; the outputs are committed so that the tests need none of these tools.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
schema="$here/../../../Engine/resources/KestrelLib.proto"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

python3 - "$here/archive-python.zip" <<'PY'
import sys, zipfile
out = sys.argv[1]
def info(name, method):
    i = zipfile.ZipInfo(name, date_time=(2024, 1, 2, 3, 4, 6))
    i.compress_type = method
    return i
pattern = bytes((i * 7 + i // 13) & 0xFF for i in range(3000))
with zipfile.ZipFile(out, "w") as z:
    z.writestr(info("readme.txt", zipfile.ZIP_STORED), b"hello, archive\n")
    z.writestr(info("textures/gradient.png", zipfile.ZIP_DEFLATED), pattern)
    z.writestr(info("Dup/Name.txt", zipfile.ZIP_DEFLATED), b"first")
    z.writestr(info("dup/name.TXT", zipfile.ZIP_STORED), b"second")
    z.writestr(info("empty.bin", zipfile.ZIP_STORED), b"")
    z.writestr(info("n/" + "a" * 253, zipfile.ZIP_STORED), b"255")
    z.writestr(info("n/" + "b" * 254, zipfile.ZIP_STORED), b"256")
PY

mkdir -p "$work/zip/objects" "$work/zip/music"
printf '<MMF>\n<points>\n0 0 0\n1 0 0\n0 1 0\n</points>\n</MMF>\n' > "$work/zip/objects/quad.mmf"
python3 -c 'import sys; sys.stdout.buffer.write(bytes(range(256)) * 40)' > "$work/zip/music/track.ogg"
touch -d '2024-01-02 03:04:06' "$work/zip/objects/quad.mmf" "$work/zip/music/track.ogg"
rm -f "$here/archive-zip.zip"
(cd "$work/zip" && zip -q -X -0 "$here/archive-zip.zip" objects/quad.mmf && zip -q -X -9 "$here/archive-zip.zip" music/track.ogg)

# Schema variants: every repeated scalar packed; and extra fields (number 8 in Object, plus
# numbers the real schema never used) that a reader of the real schema must skip.
sed -E 's/(repeated (float|uint32) [a-z]+ = [0-9]+);/\1 [packed = true];/' "$schema" > "$work/packed.proto"
sed -E -e 's/^message Object \{/message Object {\n  optional uint32 retired = 8;\n  optional string note = 40;/' \
       -e 's/^message KestrelLib \{/message KestrelLib {\n  optional fixed64 stamp = 77;/' "$schema" > "$work/extra.proto"
cp "$schema" "$work/plain.proto"
for variant in plain packed extra; do mkdir -p "$work/$variant"; mv "$work/$variant.proto" "$work/$variant/KestrelLib.proto"; done

encode() {  # source.txtpb variant output.pb
  protoc --encode=Kestrel.KestrelLib -I "$work/$2" "$work/$2/KestrelLib.proto" < "$here/$1" > "$here/$3"
}
encode scene-city.txtpb plain scene-city.pb
encode scene-city.txtpb packed scene-city-packed.pb
encode scene-extra.txtpb extra scene-extra.pb
encode scene-noinfo.txtpb plain scene-noinfo.pb

# Meshes: a binary one (sections after the header in reverse order) and a text one.
python3 - "$here/mesh-quad.bmmf" <<'PY'
import struct, sys
points = [-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0]
normals = [0, 0, 1] * 4
uvs = [0, 0, 1, 0, 1, 1, 0, 1]
polygons = [0, 1, 2, 0, 2, 3]
body, header = b"", [0x464D4D42]
sections = {}
for name, values, fmt in (("polygons", polygons, "i"), ("uvs", uvs, "f"), ("normals", normals, "f"), ("points", points, "f")):
    sections[name] = (4 * len(values), 36 + len(body))
    body += struct.pack("<%d%s" % (len(values), fmt), *values)
for name in ("points", "normals", "uvs", "polygons"):
    header += sections[name]
open(sys.argv[1], "wb").write(struct.pack("<9I", *header) + body)
PY
cat > "$here/mesh-quad.mmf" <<'MMF'
<MMF version="1">
<points>
-1 -1 0
1 -1 0
1 1 0
-1 1 0
</points>
<normals>
0 0 1
0 0 1
0 0 1
0 0 1
</normals>
<uvs>
0 0
1 0
1 1
0 1
</uvs>
<polygons>
0 1 2
0 2 3
</polygons>
<surfaces>
<surface material="0" />
</surfaces>
<textures>
<item>
<source>textures/veltro512.png</source>
</item>
</textures>
</MMF>
MMF
