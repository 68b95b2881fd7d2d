# The mean colour of flat surfaces of comparison.png's scene in two renders of it, and the mean
# difference over the whole picture: blender -b --python compare.py -- BLENDER.png PLAYER.png
import sys
import bpy
import numpy as np
args = sys.argv[sys.argv.index('--') + 1:]
def load(path):
    img = bpy.data.images.load(path)
    w, h = img.size
    px = np.array(img.pixels[:]).reshape(h, w, 4)[::-1, :, :3]  # rows from the top
    return np.round(px * 255)
a = load(args[0]); b = load(args[1])
regions = {'wall': (250, 20, 550, 100), 'wall right': (750, 120, 1000, 240), 'floor front': (100, 480, 300, 560),
           'floor spot': (400, 420, 600, 480), 'floor right': (900, 300, 1010, 360), 'box face (front)': (760, 300, 790, 340),
           'mask stripe': (565, 150, 575, 230), 'bumpy panel': (40, 160, 200, 280), 'blend panel': (340, 370, 490, 395),
           'gold sphere': (190, 300, 310, 370), 'green sphere': (550, 260, 660, 370), 'chalk sphere': (370, 260, 480, 370)}
print('%-18s %-22s %-22s %s' % ('region', 'Blender', 'PylonLib', 'difference'))
for name, (x0, y0, x1, y1) in regions.items():
    ma = a[y0:y1, x0:x1].reshape(-1, 3).mean(0); mb = b[y0:y1, x0:x1].reshape(-1, 3).mean(0)
    print('%-18s %-22s %-22s %s' % (name, np.round(ma, 1), np.round(mb, 1), np.round(mb - ma, 1)))
d = np.abs(a - b)
print('whole picture: mean |difference| per channel', np.round(d.reshape(-1, 3).mean(0), 2))
