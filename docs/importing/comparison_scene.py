# The scene of comparison.png: plain and textured materials, a metal and a rough dielectric, a
# normal-mapped panel, alpha-clipped stripes, a half-transparent pane, a sun, a point light and a
# spot. Exports OUT/comparison.glb with Blender's own exporter and renders OUT/blender.png with
# Eevee (view transform Standard, no bloom, ambient occlusion, reflections or shadows):
#   blender -b --python docs/importing/comparison_scene.py -- OUT 0.08      (0.08: the world's grey)
#   build/veltro12 --scene OUT/comparison.glb --world 0.08,0.08,0.08 --post off --size 1024x576 --shot 5 OUT/pylon.png
#   blender -b --python docs/importing/compare.py -- OUT/blender.png OUT/pylon.png
import bpy, math, sys, os
out = sys.argv[sys.argv.index('--') + 1]
bpy.ops.wm.read_factory_settings(use_empty=True)
scene = bpy.context.scene
scene.render.engine = 'BLENDER_EEVEE'
scene.render.resolution_x, scene.render.resolution_y, scene.render.resolution_percentage = 1024, 576, 100
scene.view_settings.view_transform = 'Standard'; scene.view_settings.look = 'None'
scene.eevee.use_bloom = False; scene.eevee.use_gtao = False; scene.eevee.use_ssr = False
scene.eevee.use_soft_shadows = False; scene.eevee.taa_render_samples = 16
world = bpy.data.worlds.new('World'); scene.world = world; world.use_nodes = True
W = float(sys.argv[sys.argv.index('--') + 2])
world.node_tree.nodes['Background'].inputs[0].default_value = (W, W, W, 1)

def srgb_to_linear(c):
    return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4

def image(name, size, pixel, colourspace='sRGB'):
    img = bpy.data.images.new(name, size, size, alpha=True)
    px = []
    for y in range(size):
        for x in range(size):
            px.extend(pixel(x, y))
    img.pixels = px
    img.filepath_raw = os.path.join(out, name + '.png'); img.file_format = 'PNG'; img.save()
    img.colorspace_settings.name = colourspace
    return img

def material(name, colour, metallic=0.0, roughness=0.5, tex=None, normal=None, alpha=None, blend=None):
    m = bpy.data.materials.new(name); m.use_nodes = True
    nt = m.node_tree; p = nt.nodes['Principled BSDF']
    p.inputs['Base Color'].default_value = (*colour, 1)
    p.inputs['Metallic'].default_value = metallic
    p.inputs['Roughness'].default_value = roughness
    if tex is not None:
        t = nt.nodes.new('ShaderNodeTexImage'); t.image = tex
        nt.links.new(t.outputs['Color'], p.inputs['Base Color'])
        if alpha == 'tex':
            nt.links.new(t.outputs['Alpha'], p.inputs['Alpha'])
    if normal is not None:
        t = nt.nodes.new('ShaderNodeTexImage'); t.image = normal
        n = nt.nodes.new('ShaderNodeNormalMap')
        nt.links.new(t.outputs['Color'], n.inputs['Color']); nt.links.new(n.outputs['Normal'], p.inputs['Normal'])
    if isinstance(alpha, float):
        p.inputs['Alpha'].default_value = alpha
    if blend:
        m.blend_method = blend
        m.show_transparent_back = False
        if blend == 'CLIP': m.alpha_threshold = 0.5
    return m

def add(obj, mat):
    obj.data.materials.append(mat)
    return obj

checker = image('checker', 64, lambda x, y: (0.9, 0.9, 0.9, 1) if (x // 8 + y // 8) % 2 else (0.15, 0.25, 0.7, 1))
stripes = image('stripes', 64, lambda x, y: (0.9, 0.4, 0.1, 1.0 if (x // 8) % 2 else 0.0))
def bump(x, y):
    u = math.sin(x / 64 * 2 * math.pi * 4) * 0.5
    nx, ny, nz = u, 0.0, 1.0
    l = math.sqrt(nx * nx + ny * ny + nz * nz)
    return (nx / l * 0.5 + 0.5, ny / l * 0.5 + 0.5, nz / l * 0.5 + 0.5, 1)
bumps = image('bumps', 64, bump, 'Non-Color')

bpy.ops.mesh.primitive_plane_add(size=12, location=(0, 0, 0)); add(bpy.context.object, material('Floor', (0.5, 0.5, 0.5), roughness=0.8)).name = 'Floor'
bpy.ops.mesh.primitive_plane_add(size=12, location=(0, 4, 3), rotation=(math.pi / 2, 0, 0)); add(bpy.context.object, material('Wall', (0.6, 0.5, 0.4), roughness=0.9)).name = 'Wall'
spheres = [('Gold', (1.0, 0.77, 0.34), 1.0, 0.25, -2.2), ('Chalk', (0.8, 0.8, 0.8), 0.0, 0.9, -0.7),
           ('Green', tuple(srgb_to_linear(c / 255) for c in (91, 182, 110)), 0.0, 0.5, 0.8)]
for name, colour, metallic, roughness, x in spheres:
    bpy.ops.mesh.primitive_uv_sphere_add(radius=0.6, location=(x, 0.5, 0.6), segments=64, ring_count=32)
    bpy.ops.object.shade_smooth()
    add(bpy.context.object, material(name, colour, metallic, roughness)).name = name
bpy.ops.mesh.primitive_cube_add(size=1.0, location=(2.4, 0.3, 0.5), rotation=(0, 0, 0.5)); add(bpy.context.object, material('Checker', (1, 1, 1), roughness=0.6, tex=checker)).name = 'Box'
bpy.ops.mesh.primitive_plane_add(size=1.6, location=(-3.6, 1.5, 1.2), rotation=(math.pi / 2, 0, 0.3)); add(bpy.context.object, material('Bumpy', (0.7, 0.7, 0.75), roughness=0.4, normal=bumps)).name = 'Bumpy'
bpy.ops.mesh.primitive_plane_add(size=1.4, location=(1.0, 2.2, 1.3), rotation=(math.pi / 2, 0, 0)); add(bpy.context.object, material('Stripes', (1, 1, 1), roughness=0.7, tex=stripes, alpha='tex', blend='CLIP')).name = 'Mask'
bpy.ops.mesh.primitive_plane_add(size=1.2, location=(-0.7, -0.6, 0.9), rotation=(math.pi / 2, 0, 0)); add(bpy.context.object, material('Glass', (0.2, 0.4, 0.9), roughness=0.5, alpha=0.5, blend='BLEND')).name = 'Blend'

def light(kind, name, energy, location, rotation, colour=(1, 1, 1), **extra):
    l = bpy.data.lights.new(name, kind); l.energy = energy; l.color = colour; l.use_shadow = False
    if kind != 'SUN': l.shadow_soft_size = 0.0
    else: l.angle = 0.0
    for k, v in extra.items(): setattr(l, k, v)
    o = bpy.data.objects.new(name, l); o.location = location; o.rotation_euler = rotation
    scene.collection.objects.link(o)
light('SUN', 'Sun', 2.0, (0, 0, 5), (math.radians(40), 0, math.radians(-30)))
light('POINT', 'Lamp', 150.0, (2.0, -1.5, 2.2), (0, 0, 0), colour=(1.0, 0.8, 0.6))
light('SPOT', 'Spot', 400.0, (-3.0, -1.0, 4.0), (math.radians(35), 0, math.radians(-60)), colour=(0.7, 0.8, 1.0), spot_size=math.radians(60), spot_blend=0.3)

cam = bpy.data.cameras.new('Camera'); cam.lens = 35
co = bpy.data.objects.new('Camera', cam); scene.collection.objects.link(co); scene.camera = co
co.location = (0, -7.5, 3.4)
direction = (0 - co.location[0], 0.6 - co.location[1], 0.8 - co.location[2])
import mathutils
co.rotation_euler = mathutils.Vector(direction).to_track_quat('-Z', 'Y').to_euler()

bpy.ops.wm.save_as_mainfile(filepath=os.path.join(out, 'comparison.blend'))
bpy.ops.export_scene.gltf(filepath=os.path.join(out, 'comparison.glb'), export_format='GLB', export_lights=True, export_cameras=True)
scene.render.filepath = os.path.join(out, 'blender.png')
bpy.ops.render.render(write_still=True)
print('DONE')
