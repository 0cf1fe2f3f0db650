// `Generator<T>`: a worker that writes a whole picture into one texture, one band of
// rows per processor through the parallel runner.
#pragma once

#include <cstdio>

#include "plugin/image/imager.hpp"
#include "plugin/image/parallel_runner.hpp"

namespace pattix {

template <class T>
class Generator : public Imager {
public:
    using TextureType = T;

    // Called once before the passes, per thread in every pass, and once after the passes (also
    // after a stop). The defaults do nothing.
    virtual void begin(T* /*texture*/) noexcept {}
    virtual void generate(T* /*texture*/) noexcept {}
    virtual void end(T* /*texture*/) noexcept {}

    void process(T* texture) noexcept {
        if (texture == nullptr) {
            std::fputs("Map passed into Generator::process is NULL\n", stderr);
            return;
        }
        if (texture->width() < 1 || texture->height() < 1 || texture->data == nullptr) {
            std::fputs("Map passed into Generator::process is bogus\n", stderr);
            return;
        }
        target = texture;
        targetWidth = texture->width();
        targetHeight = texture->height();
        normaliseWindow(*texture);

        begin(texture);
        for (pass = 0; pass < passCount; ++pass) {
            if (stopRequested()) break;
            if (imagerFlags & kImagerNoThreads) {
                generate(texture);
            } else {
                runParallel(windowPixels() * sizeof(typename T::PixelType), &Generator::generateJob,
                            2, this, texture);
            }
        }
        end(texture);
    }

private:
    static void generateJob(void* self, void* texture, void*, void*, void*, void*) {
        static_cast<Generator*>(self)->generate(static_cast<T*>(texture));
    }
};

}  // namespace pattix
