// Boundary polygons of components: the clockwise outline trace over the pixels and its
// rectilinear staircase form.
#pragma once

#include <vector>

#include "kernels/components/run.h"
#include "platform/types.h"

namespace vorlane::detail {

// Traces the outline of the pixel set of runs[0..count) (sorted, disjoint runs; count >= 1)
// from the first run's first pixel, which is vertex 0, heading east. Directions are numbered
// clockwise from north (y grows downwards); at each pixel the directions current + 6, + 7,
// + 0, ... + 5 are tried in turn and the first leading to a pixel of the set is taken; the
// pixel is appended as a vertex whenever the direction changes. The trace ends on its first
// return to the start pixel (a single pixel stays put and gives one vertex). A bound of
// 8 steps per pixel guards against run lists that break the invariants.
std::vector<POINT> TraceBoundary(const Run* runs, int count);

// Replaces every diagonal edge of a closed polygon (|dx| = |dy|) by a staircase of unit
// steps, so that every edge becomes horizontal or vertical. Going up-left or down-right the
// staircase starts vertically, otherwise horizontally. A first step that would continue the
// previous edge is folded into it (the edge's first vertex moves one step along it and the
// staircase starts the other way); a last step that would continue the next edge is folded
// into that one (the edge's end vertex moves one step back). When both happen on a unit
// diagonal the two vertices meet and the first is dropped. Edges are scanned once, from
// vertex 0, with the closing edge last; moved vertices are seen by the later edges.
std::vector<POINT> Staircase(std::vector<POINT> polygon);

}  // namespace vorlane::detail
