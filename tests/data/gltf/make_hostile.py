#!/usr/bin/env python3
"""Writes a battery of small hostile glTF files for the importer's safety tests.

    python3 tests/data/gltf/make_hostile.py DIR

DIR/secret.bin is a file outside the fixtures' folder that none of them may read;
DIR/files/ holds the fixtures (with a FIFO, symbolic links and a folder among them), and
DIR/expected.txt one line per fixture: its name, a tab, and a piece of the message the
importer must refuse it with. Every fixture follows the glTF 2.0 format as Khronos defines it: one
triangle (three float positions, three unsigned short indices) with a camera, broken in one
place.
"""
import base64
import json
import os
import struct
import sys
import zlib

out = sys.argv[1]
files = os.path.join(out, "files")
os.makedirs(os.path.join(files, "folder.bin"), exist_ok=True)
with open(os.path.join(out, "secret.bin"), "wb") as f:
    f.write(b"SECRET-BYTES-" * 4)

POSITIONS = struct.pack("<9f", 0, 0, 0, 1, 0, 0, 0, 1, 0)
INDICES = struct.pack("<3H", 0, 1, 2) + b"\0\0"
BUFFER = POSITIONS + INDICES  # 44 bytes
with open(os.path.join(files, "triangle.bin"), "wb") as f:
    f.write(BUFFER)


def data_uri(data):
    return "data:application/octet-stream;base64," + base64.b64encode(data).decode()


def triangle(uri=None, byte_length=len(BUFFER), **changes):
    doc = {
        "asset": {"version": "2.0"},
        "scene": 0,
        "scenes": [{"nodes": [0, 1]}],
        "nodes": [{"mesh": 0}, {"camera": 0, "translation": [0, 0, 5]}],
        "cameras": [{"type": "perspective", "perspective": {"yfov": 0.8, "znear": 0.1}}],
        "meshes": [{"primitives": [{"attributes": {"POSITION": 0}, "indices": 1}]}],
        "buffers": [{"byteLength": byte_length, "uri": uri if uri is not None else data_uri(BUFFER)}],
        "bufferViews": [{"buffer": 0, "byteOffset": 0, "byteLength": 36}, {"buffer": 0, "byteOffset": 36, "byteLength": 6}],
        "accessors": [
            {"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3"},
            {"bufferView": 1, "componentType": 5123, "count": 3, "type": "SCALAR"},
        ],
    }
    for key, value in changes.items():
        doc[key] = value
    return doc


def textured(image_uri):
    doc = triangle()
    doc["meshes"][0]["primitives"][0]["material"] = 0
    doc["materials"] = [{"pbrMetallicRoughness": {"baseColorTexture": {"index": 0}}}]
    doc["textures"] = [{"source": 0}]
    doc["images"] = [{"uri": image_uri}]
    return doc


def png(width, height):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(b"\0" * 4)) + chunk(b"IEND", b"")


expected = []


def write(name, content, problem):
    with open(os.path.join(files, name), "wb") as f:
        f.write(content if isinstance(content, bytes) else json.dumps(content).encode())
    expected.append((name, problem))


def glb(doc, binary, json_length=None, total=None):
    text = json.dumps(doc).encode()
    text += b" " * (-len(text) % 4)
    binary += b"\0" * (-len(binary) % 4)
    body = struct.pack("<II", json_length if json_length is not None else len(text), 0x4E4F534A) + text
    body += struct.pack("<II", len(binary), 0x004E4942) + binary
    return b"glTF" + struct.pack("<II", 2, total if total is not None else 12 + len(body)) + body


# Files outside the folder, by every road.
write("traversal.gltf", triangle("../secret.bin", 52), "leads outside the folder")
write("traversal-escaped.gltf", textured("..%2F..%2Fsecret.bin"), "leads outside the folder")
write("absolute.gltf", triangle("/etc/passwd"), "is an absolute path")
write("file-uri.gltf", triangle("file:///etc/passwd"), "is a file: URI")
write("http-uri.gltf", triangle("http://example.com/triangle.bin"), "has the scheme http:")
os.symlink("../secret.bin", os.path.join(files, "link-out.bin"))
write("symlink-out.gltf", triangle("link-out.bin", 52), "leads outside the folder")
os.symlink("/dev/zero", os.path.join(files, "zero.bin"))
write("dev-zero-link.gltf", triangle("zero.bin", 44), "leads outside the folder")
write("dev-zero.gltf", triangle("/dev/zero", 44), "is an absolute path")
os.mkfifo(os.path.join(files, "pipe.bin"))
write("fifo.gltf", triangle("pipe.bin"), "is a FIFO")
write("folder.gltf", triangle("folder.bin"), "is a folder")
write("bad-escape.gltf", triangle("triangle%zz.bin"), "malformed %-escape")
write("data-uri-unknown.gltf", triangle("data:application/json;base64,AAAA"), "data: URI that is not base64")

# Lies about sizes, counts and references.
write("lying-bytelength.gltf", triangle("triangle.bin", 1000), "fewer than the 1000 declared")
doc = triangle()
doc["accessors"][0]["count"] = 4
write("lying-count.gltf", doc, "reads past the end of buffer view 0")
doc = triangle()
doc["accessors"][1]["byteOffset"] = 0
doc["accessors"][1]["bufferView"] = 0
doc["accessors"][1]["byteOffset"] = 12
write("index-out-of-range.gltf", doc, "is out of range")
doc = triangle()
doc["nodes"] = [{"mesh": 0, "children": [2]}, {"camera": 0, "translation": [0, 0, 5]}, {"children": [0]}]
write("node-cycle.gltf", doc, "appears more than once in the hierarchy")
doc = triangle()
doc["nodes"][0]["children"] = [0]
write("node-own-child.gltf", doc, "appears more than once in the hierarchy")
doc = triangle()
doc["nodes"] = [{"mesh": 0, "children": [2]}, {"camera": 0, "translation": [0, 0, 5]}]
doc["nodes"] += [{"children": [i + 1]} for i in range(2, 20001)] + [{}]
write("deep-chain.gltf", doc, "nodes deep")

# Key times that are not numbers: NaN in the buffer.
keys = struct.pack("<2f", 0.0, float("nan")) + struct.pack("<6f", 0, 0, 0, 1, 1, 1)
doc = triangle(data_uri(BUFFER + keys), len(BUFFER) + len(keys))
doc["bufferViews"] += [{"buffer": 0, "byteOffset": 44, "byteLength": 8}, {"buffer": 0, "byteOffset": 52, "byteLength": 24}]
doc["accessors"] += [{"bufferView": 2, "componentType": 5126, "count": 2, "type": "SCALAR"},
                     {"bufferView": 3, "componentType": 5126, "count": 2, "type": "VEC3"}]
doc["animations"] = [{"channels": [{"sampler": 0, "target": {"node": 0, "path": "translation"}}],
                      "samplers": [{"input": 2, "output": 3}]}]
write("nan-key-times.gltf", doc, "not a finite number")

# Broken containers.
write("broken.gltf", b'{"asset": {"version": "2.0"}, "nodes": [', "not a readable glTF 2.0 file: parse error at line 1")
write("not-json.gltf", b"\x00\x01\x02 binary junk", "not a readable glTF 2.0 file")
plain = triangle()
del plain["buffers"][0]["uri"]
write("glb-json-chunk-lies.glb", glb(plain, BUFFER, json_length=1 << 30), "JSON chunk claims")
write("glb-length-lies.glb", glb(plain, BUFFER, total=1 << 30), "GLB header claims")
good = glb(plain, BUFFER)
write("glb-bin-chunk-lies.glb", good[:-52] + struct.pack("<II", 1 << 20, 0x004E4942) + BUFFER, "binary chunk claims")
write("glb-cut.glb", good[:30], "GLB header claims")

# Images the player could not load.
with open(os.path.join(files, "not-an-image.png"), "wb") as f:
    f.write(b"this is not a picture\n" * 4)
write("non-image.gltf", textured("not-an-image.png"), "is not an image the player can load")
with open(os.path.join(files, "huge.png"), "wb") as f:
    f.write(png(60000, 60000))
write("huge-image.gltf", textured("huge.png"), "60000")

# Versions and extensions.
write("version-1.gltf", triangle(asset={"version": "1.0"}), "glTF 1.0")
write("min-version.gltf", triangle(asset={"version": "2.1", "minVersion": "2.1"}), "needs glTF 2.1")
write("required-extension.gltf", triangle(extensionsUsed=["EXT_unknown_thing"], extensionsRequired=["EXT_unknown_thing"]),
      "requires the extension EXT_unknown_thing")

with open(os.path.join(out, "expected.txt"), "w") as f:
    for name, problem in expected:
        f.write(name + "\t" + problem + "\n")
