# The scene of spheres.png: roughness 1 to 0.1 from left to right, metallic 0, 0.5 and 1 from
# bottom to top, under one point light and a dark grey world (0.05):
#   blender -b --python docs/importing/spheres_scene.py -- OUT
import bpy, math, sys, os, mathutils
out = sys.argv[sys.argv.index('--') + 1]
bpy.ops.wm.read_factory_settings(use_empty=True)
scene = bpy.context.scene
scene.render.engine = 'BLENDER_EEVEE'
scene.render.resolution_x, scene.render.resolution_y, scene.render.resolution_percentage = 1024, 576, 100
scene.view_settings.view_transform = 'Standard'; scene.view_settings.look = 'None'
scene.eevee.use_bloom = False; scene.eevee.use_gtao = False; scene.eevee.use_ssr = False; scene.eevee.taa_render_samples = 16
world = bpy.data.worlds.new('World'); scene.world = world; world.use_nodes = True
world.node_tree.nodes['Background'].inputs[0].default_value = (0.05, 0.05, 0.05, 1)
rough = [1.0, 0.7, 0.45, 0.25, 0.1]
metal = [0.0, 0.5, 1.0]
for i, r in enumerate(rough):
    for j, m in enumerate(metal):
        bpy.ops.mesh.primitive_uv_sphere_add(radius=0.42, location=(-2.2 + 1.1 * i, 0, 0.4 + 1.0 * j), segments=64, ring_count=32)
        bpy.ops.object.shade_smooth()
        mat = bpy.data.materials.new('m%d%d' % (i, j)); mat.use_nodes = True
        p = mat.node_tree.nodes['Principled BSDF']
        p.inputs['Base Color'].default_value = (0.9, 0.35, 0.1, 1)
        p.inputs['Metallic'].default_value = m; p.inputs['Roughness'].default_value = r
        bpy.context.object.data.materials.append(mat)
l = bpy.data.lights.new('Lamp', 'POINT'); l.energy = 300; l.shadow_soft_size = 0; l.use_shadow = False
o = bpy.data.objects.new('Lamp', l); o.location = (1.5, -4, 3.5); scene.collection.objects.link(o)
cam = bpy.data.cameras.new('Camera'); cam.lens = 40
co = bpy.data.objects.new('Camera', cam); scene.collection.objects.link(co); scene.camera = co
co.location = (0, -7, 1.4)
co.rotation_euler = mathutils.Vector((0, 7, 0)).to_track_quat('-Z', 'Y').to_euler()
bpy.ops.export_scene.gltf(filepath=os.path.join(out, 'grid.glb'), export_format='GLB', export_lights=True, export_cameras=True)
scene.render.filepath = os.path.join(out, 'grid-blender.png')
bpy.ops.render.render(write_still=True)
print('DONE')
