#include "apps/gst/image_pool.hpp"

namespace pattix::gst {

std::shared_ptr<ImagePool> ImagePool::create(host::FrameRenderer& renderer) {
    return std::shared_ptr<ImagePool>(new ImagePool(renderer));
}

ImagePool::ImagePool(host::FrameRenderer& renderer) : m_Renderer(renderer) {
    renderer.image().AddRef();
    m_First.reset(&renderer.image());
}

ImagePool::Taken ImagePool::take() {
    {
        const std::lock_guard lock(m_Mutex);
        if (!m_Returned.empty()) {
            Taken taken{std::move(m_Returned.back()), true};
            m_Returned.pop_back();
            return taken;
        }
    }
    return {m_First ? std::move(m_First) : m_Renderer.createImage(), false};
}

void ImagePool::giveBack(host::ComPtr<sdk::host::HostImage> image) noexcept {
    const std::lock_guard lock(m_Mutex);
    try {
        m_Returned.push_back(std::move(image));
    } catch (const std::bad_alloc&) {
        // No room to keep it: the image is released instead.
    }
}

}  // namespace pattix::gst
