// Host images that frames are rendered into and handed downstream without a copy: an image
// comes back to its pool when the frame holding it is dropped, on whichever thread that happens.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "apps/host/frame_renderer.hpp"

namespace pattix::gst {

class ImagePool : public std::enable_shared_from_this<ImagePool> {
public:
    struct Taken {
        host::ComPtr<sdk::host::HostImage> image;
        bool used = false;  // it held a frame before; a new image is cleared
    };

    // Lends images like `renderer`'s own, that one first. take() is for while the renderer
    // lives; images may come back later.
    static std::shared_ptr<ImagePool> create(host::FrameRenderer& renderer);

    // A returned image, or a new one when all are out. Throws RunFailure when memory runs out.
    Taken take();
    void giveBack(host::ComPtr<sdk::host::HostImage> image) noexcept;

private:
    explicit ImagePool(host::FrameRenderer& renderer);

    host::FrameRenderer& m_Renderer;
    host::ComPtr<sdk::host::HostImage> m_First;
    std::mutex m_Mutex;
    std::vector<host::ComPtr<sdk::host::HostImage>> m_Returned;
};

}  // namespace pattix::gst
