// SceneValidator: checks that an imported scene only refers to what it holds.
//
// Geometry upload and drawing follow the scene's references without checking them: stream
// and index-list IDs, material, shader, texture and sampler numbers, surfaces inside their
// index list, index values below the vertex count, stream lengths, motion lists, pivots,
// parent and target numbers. validateScene() walks them all once, in the order upload and
// drawing meet them, and names the first that is out of place. A pure function over the
// parsed message: it needs no GL, no archive and no Runtime, so tools and fuzz targets call
// it directly. It runs on a freshly parsed scene, before upload rewrites IDs into GL names.
#pragma once

#include <string>

#include "resources/KestrelLib.pb.h"

// "" when every reference holds; otherwise one line (no "\n") naming the first bad
// reference, for example "object 12: polygonsID 40 out of range (31 lists)". Items are
// numbered from 1, as the scene's own references count them.
std::string validateScene(const Kestrel::KestrelLib& scene);
