# Builds the glTF fixtures of the importer tests with Blender's own exporter:
#
#   blender -b --factory-startup --python tests/data/gltf/make_fixtures.py
#
# (Debian's blender package; the tests only read what this wrote, so they need no Blender.)
# The scene: a textured board, a body that moves and turns with a child cone parented to it,
# and a camera that flies and turns. Keys use LINEAR, CONSTANT and BEZIER interpolation.
# Written beside this script:
#   scene.glb         Blender's defaults (animation sampled at every frame)
#   scene-keys.gltf   the keys as authored: LINEAR, STEP and CUBICSPLINE samplers (+ .bin)
#   origins.txt       for a few frames, one line per object: the time, the object's name and
#                     its origin as the camera sees it (x, y from 0 to 1 across the 16:9 view,
#                     from the bottom left)
#   frame-48.png      Blender's own render of frame 48 (2 s), to hold against the player's picture
import os

import bpy
from bpy_extras.object_utils import world_to_camera_view

here = os.path.dirname(os.path.abspath(__file__))
bpy.ops.wm.read_factory_settings(use_empty=True)
scene = bpy.context.scene
scene.render.fps = 24
scene.frame_start = 0
scene.frame_end = 48
scene.render.resolution_x = 320
scene.render.resolution_y = 180


def keyed(obj, path, frames_values, interpolation):
    for frame, value in frames_values:
        setattr(obj, path, value)
        obj.keyframe_insert(data_path=path, frame=frame)
    for curve in obj.animation_data.action.fcurves:
        if curve.data_path == path:
            for point in curve.keyframe_points:
                point.interpolation = interpolation


# A 4x4 checker image, packed into the file.
image = bpy.data.images.new("checker", 4, 4)
pixels = []
for y in range(4):
    for x in range(4):
        on = (x + y) % 2 == 0
        pixels += [1.0, 0.8, 0.1, 1.0] if on else [0.1, 0.3, 1.0, 1.0]
image.pixels = pixels
image.file_format = "PNG"
image.pack()

board_material = bpy.data.materials.new("Board")
board_material.use_nodes = True
nodes = board_material.node_tree.nodes
texture = nodes.new("ShaderNodeTexImage")
texture.image = image
texture.interpolation = "Closest"
board_material.node_tree.links.new(texture.outputs["Color"], nodes["Principled BSDF"].inputs["Base Color"])

red = bpy.data.materials.new("Red")
red.use_nodes = True
red.node_tree.nodes["Principled BSDF"].inputs["Base Color"].default_value = (0.9, 0.1, 0.05, 1.0)
green = bpy.data.materials.new("Glow")
green.use_nodes = True
green.node_tree.nodes["Principled BSDF"].inputs["Base Color"].default_value = (0.1, 0.8, 0.2, 1.0)
green.node_tree.nodes["Principled BSDF"].inputs["Emission"].default_value = (0.0, 0.3, 0.1, 1.0)

bpy.ops.mesh.primitive_plane_add(size=8, location=(0, 0, 0))
board = bpy.context.object
board.name = "Board"
board.data.materials.append(board_material)

bpy.ops.mesh.primitive_cube_add(size=1.5, location=(-2, 0, 1))
body = bpy.context.object
body.name = "Body"
body.data.materials.append(red)
keyed(body, "location", [(0, (-2, 0, 1)), (24, (2, 1, 1.5)), (48, (0, -2, 1))], "LINEAR")
keyed(body, "rotation_euler", [(0, (0, 0, 0)), (24, (0.3, 0, 1.6)), (48, (0, 0.4, 3.0))], "BEZIER")

bpy.ops.mesh.primitive_cone_add(radius1=0.5, depth=1.2, location=(0, 0, 0))
cone = bpy.context.object
cone.name = "Cone"
cone.data.materials.append(green)
cone.parent = body
cone.location = (0, 0, 1.6)
keyed(cone, "scale", [(0, (1, 1, 1)), (16, (1.5, 1.5, 0.6)), (32, (0.7, 0.7, 1.4))], "CONSTANT")

bpy.ops.object.camera_add(location=(0, -14, 8))
camera = bpy.context.object
camera.name = "Camera"
camera.data.lens = 35
scene.camera = camera
keyed(camera, "location", [(0, (0, -14, 8)), (24, (6, -12, 7)), (48, (9, -9, 9))], "BEZIER")
keyed(camera, "rotation_euler", [(0, (1.08, 0, 0)), (24, (1.12, 0, 0.45)), (48, (1.0, 0, 0.78))], "LINEAR")

bpy.ops.object.light_add(type="SUN", location=(3, -3, 10))

bpy.ops.export_scene.gltf(filepath=os.path.join(here, "scene.glb"), export_format="GLB", export_cameras=True,
                          export_lights=True)
bpy.ops.export_scene.gltf(filepath=os.path.join(here, "scene-keys.gltf"), export_format="GLTF_SEPARATE",
                          export_cameras=True, export_force_sampling=False, export_lights=True)

with open(os.path.join(here, "origins.txt"), "w") as out:
    for frame in (0, 12, 24, 36, 48):
        scene.frame_set(frame)
        for obj in (board, body, cone):
            view = world_to_camera_view(scene, camera, obj.matrix_world.translation)
            out.write("%g %s %.5f %.5f\n" % (frame / scene.render.fps, obj.name, view.x, view.y))

scene.frame_set(48)
scene.render.engine = "CYCLES"
scene.cycles.samples = 8
scene.cycles.use_denoising = False
scene.render.filepath = os.path.join(here, "frame-48.png")
world = bpy.data.worlds.new("World")
world.color = (0.05, 0.05, 0.08)
scene.world = world
bpy.ops.render.render(write_still=True)
