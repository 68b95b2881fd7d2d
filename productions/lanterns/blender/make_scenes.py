"""Builds Lanterns' two scenes and exports them as glTF binaries beside this script's folder.

    blender -b --factory-startup --python productions/lanterns/blender/make_scenes.py

scenes/garden.glb: a field of lantern posts on a textured floor; a hub turns over them with
  three glowing rings parented to it (each ring spinning on its own), and a camera that circles
  the hub on a parented arm while it sinks from high to low. 28 s.
scenes/spire.glb: a tall spire of stacked, emissive slabs, each parented to the one below and
  turning against it; the camera climbs the spire in a spiral. 22 s.
Every animation starts at the scene's 0 s, which is the entry's start in the production.
"""
import math
import os
import tempfile

import bpy

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(os.path.dirname(HERE), "scenes")
FPS = 24


def reset(seconds):
    bpy.ops.wm.read_factory_settings(use_empty=True)
    scene = bpy.context.scene
    scene.render.fps = FPS
    scene.frame_start = 0
    scene.frame_end = int(seconds * FPS)
    scene.render.resolution_x, scene.render.resolution_y = 1920, 1080
    return scene


def material(name, colour, emission=None, strength=1.0, image=None, roughness=0.5):
    mat = bpy.data.materials.new(name)
    mat.use_nodes = True
    bsdf = mat.node_tree.nodes["Principled BSDF"]
    bsdf.inputs["Base Color"].default_value = (*colour, 1.0)
    bsdf.inputs["Roughness"].default_value = roughness
    if emission:
        bsdf.inputs["Emission"].default_value = (*emission, 1.0)
        bsdf.inputs["Emission Strength"].default_value = strength
    if image:
        tex = mat.node_tree.nodes.new("ShaderNodeTexImage")
        tex.image = image
        mat.node_tree.links.new(tex.outputs["Color"], bsdf.inputs["Base Color"])
    return mat


def tile_image(name, size, a, b, line):
    """A tiled floor: squares of colours a and b with thin glowing seams."""
    img = bpy.data.images.new(name, size, size)
    px = []
    cell = size // 8
    for y in range(size):
        for x in range(size):
            if x % cell < 2 or y % cell < 2:
                c = line
            else:
                c = a if ((x // cell) + (y // cell)) % 2 else b
            px += [c[0], c[1], c[2], 1.0]
    img.pixels = px
    # Saved outside the repository only so that it can be packed into the .glb.
    img.filepath_raw = os.path.join(tempfile.gettempdir(), name + ".png")
    img.file_format = "PNG"
    img.save()
    img.pack()
    return img


def add(obj, mat=None, parent=None):
    if mat:
        obj.data.materials.append(mat)
    if parent:
        obj.parent = parent
    return obj


def key(obj, frame, **values):
    for attr, value in values.items():
        setattr(obj, attr, value)
        obj.keyframe_insert(data_path=attr, frame=frame)


def linear(obj):
    if obj.animation_data and obj.animation_data.action:
        for curve in obj.animation_data.action.fcurves:
            for point in curve.keyframe_points:
                point.interpolation = "LINEAR"


def cube(name, location, scale):
    """A box modelled at its size: the scale goes into the mesh, so the box's children are
    placed in plain units and the importer has no scaled parent to carry."""
    bpy.ops.mesh.primitive_cube_add(location=location)
    obj = bpy.context.object
    obj.name = name
    obj.scale = scale
    bpy.ops.object.transform_apply(location=False, rotation=False, scale=True)
    return obj


def sky(name, colour):
    """The night behind a scene: a large sphere seen from inside, its colour a Background
    shader's, which the exporter writes as an unlit material (KHR_materials_unlit): no light
    falls on it and it is the cheapest surface to draw. The colour is linear, as every glTF
    colour is (0.003 shows as about 10 of 255)."""
    bpy.ops.mesh.primitive_uv_sphere_add(radius=140, segments=32, ring_count=16)
    mat = bpy.data.materials.new(name)
    mat.use_nodes = True
    nodes = mat.node_tree.nodes
    nodes.remove(nodes["Principled BSDF"])
    background = nodes.new("ShaderNodeBackground")
    background.inputs["Color"].default_value = (*colour, 1.0)
    mat.node_tree.links.new(background.outputs["Background"], nodes["Material Output"].inputs["Surface"])
    return add(bpy.context.object, mat).name


def sun(name, colour, strength, rotation):
    """A sun (strength in W/m2, as Blender's exporter turns it into lux) for the scene's
    solid objects."""
    data = bpy.data.lights.new(name, "SUN")
    data.color = colour
    data.energy = strength
    obj = bpy.data.objects.new(name, data)
    obj.rotation_euler = rotation
    bpy.context.scene.collection.objects.link(obj)
    return obj


def camera(name, lens, parent=None):
    data = bpy.data.cameras.new(name)
    data.lens = lens
    data.clip_start, data.clip_end = 0.5, 300.0
    obj = bpy.data.objects.new(name, data)
    bpy.context.scene.collection.objects.link(obj)
    bpy.context.scene.camera = obj
    if parent:
        obj.parent = parent
    return obj


def aim(obj, target):
    c = obj.constraints.new("TRACK_TO")
    c.target = target
    c.track_axis, c.up_axis = "TRACK_NEGATIVE_Z", "UP_Y"


def bake(objects, scene):
    """Turns constraints into keys (glTF carries keys, not constraints)."""
    bpy.ops.object.select_all(action="DESELECT")
    for obj in objects:
        obj.select_set(True)
    bpy.context.view_layer.objects.active = objects[0]
    bpy.ops.nla.bake(frame_start=scene.frame_start, frame_end=scene.frame_end, step=6,
                     only_selected=True, visual_keying=True, clear_constraints=True,
                     bake_types={"OBJECT"})


def export(name):
    bpy.ops.export_scene.gltf(filepath=os.path.join(OUT, name), export_format="GLB",
                              export_cameras=True, export_lights=True, export_force_sampling=True,
                              export_frame_step=2)


def garden():
    seconds = 28
    scene = reset(seconds)
    floor_img = tile_image("garden-floor", 256, (0.05, 0.06, 0.12), (0.09, 0.1, 0.2),
                           (0.3, 0.8, 1.0))
    floor = material("Floor", (1, 1, 1), image=floor_img)
    post = material("Post", (0.15, 0.12, 0.2))
    lamp = material("Lamp", (1.0, 0.6, 0.2), emission=(1.0, 0.55, 0.15), strength=3.0)
    ring_mat = material("Ring", (0.3, 0.7, 1.0), emission=(0.25, 0.7, 1.0), strength=2.0)
    hub_mat = material("Hub", (0.9, 0.9, 1.0), emission=(0.8, 0.85, 1.0), strength=2.0)

    sky("GardenSky", (0.0025, 0.003, 0.008))
    # Moonlight from high behind the camera's start.
    sun("Moon", (0.65, 0.75, 1.0), 1.5, (math.radians(50), 0, math.radians(80)))
    bpy.ops.mesh.primitive_plane_add(size=120)
    add(bpy.context.object, floor).name = "Floor"
    for i in range(-4, 5):
        for j in range(-4, 5):
            if abs(i) <= 1 and abs(j) <= 1:
                continue
            x, y = i * 9.0, j * 9.0
            h = 2.0 + 1.5 * ((i * 7 + j * 3) % 4)
            p = add(cube(f"Post.{i}.{j}", (x, y, h / 2), (0.35, 0.35, h / 2)), post)
            # The lamp is the post's child: it bobs on its post.
            bpy.ops.mesh.primitive_ico_sphere_add(radius=0.7, subdivisions=2)
            lt = add(bpy.context.object, lamp, p)
            lt.name = f"Lamp.{i}.{j}"
            phase = ((i + 4) * 9 + (j + 4)) % 6
            for f in range(0, seconds * FPS + 1, 24):
                key(lt, f, location=(0, 0, h / 2 + 1.0 + 0.9 * ((f // 24 + phase) % 2)))

    hub = bpy.data.objects.new("Hub", None)
    scene.collection.objects.link(hub)
    hub.location = (0, 0, 7)
    bpy.ops.mesh.primitive_ico_sphere_add(radius=1.3, subdivisions=3)
    add(bpy.context.object, hub_mat, hub).name = "Core"
    for n in range(3):
        bpy.ops.mesh.primitive_torus_add(major_radius=3.0 + 1.6 * n, minor_radius=0.18)
        ring = add(bpy.context.object, ring_mat, hub)
        ring.name = f"Ring.{n}"
        for f in range(0, seconds * FPS + 1, 12):
            t = f / FPS
            key(ring, f, rotation_euler=(t * (0.7 + 0.3 * n), t * 0.4 * (n - 1), 0))
    for f in range(0, seconds * FPS + 1, 12):
        key(hub, f, rotation_euler=(0, 0, f / FPS * 0.5))

    # The camera rides an arm that turns about the hub's axis while it sinks and closes in.
    arm = bpy.data.objects.new("CameraArm", None)
    scene.collection.objects.link(arm)
    cam = camera("Camera", 28, arm)
    for f in range(0, seconds * FPS + 1, 12):
        u = f / (seconds * FPS)
        key(arm, f, rotation_euler=(0, 0, -0.9 + 2.6 * u))
        key(cam, f, location=(30 - 12 * u, 0, 16 - 11 * u))
    aim(cam, hub)
    bake([cam], scene)
    for obj in scene.objects:
        linear(obj)
    export("garden.glb")


def spire():
    seconds = 22
    scene = reset(seconds)
    slab_a = material("SlabWarm", (0.9, 0.3, 0.1), emission=(1.0, 0.22, 0.03), strength=0.8)
    slab_b = material("SlabCold", (0.15, 0.2, 0.4))
    sky("SpireSky", (0.005, 0.002, 0.006))
    sun("Dusk", (1.0, 0.75, 0.9), 1.5, (math.radians(55), 0, math.radians(-30)))
    band_img = tile_image("spire-band", 128, (0.45, 0.4, 0.6), (0.12, 0.1, 0.25),
                          (1.0, 0.4, 0.9))
    base_mat = material("Base", (1, 1, 1), image=band_img, roughness=0.85)
    bpy.ops.mesh.primitive_cylinder_add(radius=14, depth=1.0, location=(0, 0, -0.5))
    add(bpy.context.object, base_mat).name = "Base"
    parent = None
    for n in range(14):
        obj = cube(f"Slab.{n}", (0, 0, 0), (3.2 - 0.15 * n, 3.2 - 0.15 * n, 0.35))
        add(obj, slab_a if n % 2 else slab_b, parent)
        # Each slab stands on the one below and turns against it.
        obj.location = (0, 0, 0.8) if parent else (0, 0, 0.5)
        spin = (0.35 if n % 2 else -0.25)
        for f in range(0, seconds * FPS + 1, 12):
            key(obj, f, rotation_euler=(0, 0, f / FPS * spin + n * 0.2))
        parent = obj
    beacon_mat = material("Beacon", (0.6, 1.0, 0.9), emission=(0.5, 1.0, 0.85), strength=5.0)
    for k in range(6):
        bpy.ops.mesh.primitive_uv_sphere_add(radius=0.6)
        orb = add(bpy.context.object, beacon_mat)
        orb.name = f"Orb.{k}"
        for f in range(0, seconds * FPS + 1, 6):
            a = f / FPS * 0.8 + k * math.pi / 3
            key(orb, f, location=(7 * math.cos(a), 7 * math.sin(a), 1.5 + 1.8 * k + math.sin(a * 2)))
    focus = bpy.data.objects.new("Focus", None)
    scene.collection.objects.link(focus)
    cam = camera("Camera", 24)
    for f in range(0, seconds * FPS + 1, 12):
        u = f / (seconds * FPS)
        a = 2.4 * math.pi * u
        key(cam, f, location=(24 * math.cos(a), 24 * math.sin(a), 2 + 12 * u))
        key(focus, f, location=(0, 0, 2 + 9 * u))
    aim(cam, focus)
    bake([cam], scene)
    for obj in scene.objects:
        linear(obj)
    export("spire.glb")


os.makedirs(OUT, exist_ok=True)
garden()
spire()
