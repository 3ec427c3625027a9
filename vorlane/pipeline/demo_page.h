// The built-in sample page: a synthetic colour scan of an A4 page at 300 dpi.
#pragma once

#include <functional>
#include <memory>

class CHiColorImage;

namespace vorlane::pipeline {

inline constexpr int kDemoWidth = 2480;
inline constexpr int kDemoHeight = 3508;
inline constexpr int kDemoDpi = 300;
// The page's content is turned by this many degrees counter-clockwise as displayed; the
// road's --deskew with this value turns it back.
inline constexpr double kDemoSkewDegrees = 1.5;

// Makes the page from a fixed seed (the same pixels on every run): lines of text-like
// glyphs, uneven lighting and noise, a blue stamp, a brown stain and two punch holes. Null
// when there is no memory for it. stop (may be empty) is polled once a row: true leaves the
// rest of the page as it is. width and height may be smaller for quick tests; the layout
// scales with them.
std::unique_ptr<CHiColorImage> MakeDemoPage(int width = kDemoWidth, int height = kDemoHeight,
                                            const std::function<bool()>& stop = {});

}  // namespace vorlane::pipeline
