# Two pictures side by side at half size: blender -b --python side_by_side.py -- LEFT RIGHT OUT.png
import bpy, sys, numpy as np
args = sys.argv[sys.argv.index('--') + 1:]
def load(path):
    img = bpy.data.images.load(path)
    w, h = img.size
    return np.array(img.pixels[:]).reshape(h, w, 4)
a, b = load(args[0]), load(args[1])
half = lambda p: (p[0::2, 0::2] + p[1::2, 0::2] + p[0::2, 1::2] + p[1::2, 1::2]) / 4
out = np.concatenate([half(a), half(b)], axis=1)
h, w = out.shape[:2]
img = bpy.data.images.new('side', w, h)
img.pixels = out.ravel()
img.filepath_raw = args[2]; img.file_format = 'PNG'; img.save()
