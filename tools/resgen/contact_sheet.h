// A contact sheet for reviewing the art: every pattern image as stored, the
// 24 frames as the renderer cuts them, and the icon, on black.
#pragma once

#include <array>
#include <vector>

#include "tools/resgen/file_formats.h"
#include "tools/resgen/icon_art.h"
#include "tools/resgen/ship_art.h"

Bytes makeContactSheet(const std::vector<IndexedImage>& patterns, const IconPicture& icon);
