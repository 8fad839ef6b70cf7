// libFuzzer target of the bitmap reader: any bytes are read as a bitmap file,
// the result and the raw bytes (as a resource would hand them over unchanged)
// are offered to a surface, and whatever it takes is blitted from.
#include <cstddef>
#include <cstdint>

#include "render/bitmap_source.h"
#include "render/dib_surface.h"
#include "render/packed_dib.h"
#include "platforms/stub/stub.h"

namespace {

// Offers the bytes to a surface as the named image and copies from it the
// ways the renderer does: saving a sprite-sized block and drawing frames.
void blitFrom(const char* name, const uint8_t* bytes, uint32_t size, const uint8_t* data, size_t dataSize)
{
    addStubBitmapResource(name, bytes, size);
    DibSurface image;
    image.loadNamed(name);
    DibSurface target;
    target.createBlank(64, 48);
    DibSurface save;
    save.createBlank(24, 16);
    // Rectangles from the input's first bytes, so the fuzzer steers them too.
    auto at = [data, dataSize](size_t i) { return dataSize > i ? static_cast<int32_t>(data[i]) - 64 : 0; };
    image.drawTransparent(&target, at(0), at(1), at(2) + 64, at(3) + 64, at(4), at(5));
    image.drawTransparent(&target, -3, -2, 70, 50, -5, image.height - 10);
    save.copyFrom(&image, at(6), at(7));
    save.copyTo(&target, at(8), at(9));
    save.copyFrom(&image, image.width - 5, image.height - 3);
    clearStubBitmapResources();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 20))
        return 0;
    // Headers that declare hundreds of megabytes of rows are valid and are
    // read (zero-filled) as such; the run skips them so its time goes into
    // parsing instead of clearing memory.
    DibReader peek = memoryReader(data, static_cast<uint32_t>(size));
    uint32_t present = 0;
    PackedDib* head = readPackedDibHead(peek, &present);
    const bool large = head != nullptr && head->biSizeImage > (8u << 20);
    freeDibMemory(reinterpret_cast<uint8_t*>(head));
    if (large)
        return 0;

    DibReader reader = memoryReader(data, static_cast<uint32_t>(size));
    uint32_t blockSize = 0;
    PackedDib* dib = readPackedDib(reader, &blockSize);
    if (dib != nullptr) {
        blitFrom("FUZZ_READ", reinterpret_cast<const uint8_t*>(dib), blockSize, data, size);
        freeDibMemory(reinterpret_cast<uint8_t*>(dib));
    }
    blitFrom("FUZZ_RAW", data, static_cast<uint32_t>(size), data, size);
    return 0;
}
