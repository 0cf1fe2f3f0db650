#include "apps/pattix-view/property_pages.hpp"

#include <imgui.h>

#include <algorithm>
#include <cstdint>
#include <memory>

#include "apps/host/com_ptr.hpp"
#include "apps/host/errors.hpp"
#include "apps/host/module_session.hpp"
#include "apps/host/text.hpp"
#include "sdk/platform/com.hpp"
#include "sdk/platform/dialog.hpp"

namespace pattix::view {
namespace {

// The property frame's side of the pages; it keeps no state of its own.
struct FrameSite final : IPropertyPageSite {
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        *ppv = riid == IID_IUnknown || riid == IID_IPropertyPageSite ? this : nullptr;
        return *ppv != nullptr ? S_OK : E_NOINTERFACE;
    }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT OnStatusChange(DWORD) override { return S_OK; }
};

FrameSite g_Site;

void check(HRESULT hr, const std::string& what) {
    if (FAILED(hr)) throw host::RunFailure(host::refusal(what, hr));
}

IPropertyPage* createPage(const sdk::LoadedModule& module, const CLSID& clsid) {
    IClassFactory* rawFactory = nullptr;
    check(module.getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&rawFactory)),
          "a property page's class factory");
    const host::ComPtr<IClassFactory> factory(rawFactory);
    IPropertyPage* page = nullptr;
    check(factory->CreateInstance(nullptr, IID_IPropertyPage, reinterpret_cast<void**>(&page)),
          "to create a property page");
    return page;
}

ImU32 edgeColour() {
    return ImGui::GetColorU32(ImGuiCol_Border);
}

}  // namespace

PropertyPages::PropertyPages(const sdk::LoadedModule& module, IUnknown* effect,
                             const std::vector<CLSID>& pages) {
    try {
        open(module, effect, pages);
    } catch (...) {
        close();
        throw;
    }
}

void PropertyPages::open(const sdk::LoadedModule& module, IUnknown* effect,
                         const std::vector<CLSID>& pages) {
    for (const CLSID& clsid : pages) {
        Page& added = m_Pages.emplace_back();
        added.frame = sdk::createWindow(nullptr, std::make_unique<sdk::Window>());
        added.frame->style = WS_VISIBLE;
        added.page = createPage(module, clsid);
        check(added.page->SetPageSite(&g_Site), "a page site");
        check(added.page->SetObjects(1, &effect), "the effect for its page");
        PROPPAGEINFO info{};
        info.cb = sizeof info;
        check(added.page->GetPageInfo(&info), "its page information");
        added.title = info.pszTitle != nullptr ? host::toUtf8(info.pszTitle) : std::string();
        CoTaskMemFree(info.pszTitle);
        added.size = info.size;
        const RECT place{0, 0, info.size.cx, info.size.cy};
        check(added.page->Activate(added.frame, &place, FALSE), "to open page " + added.title);
        added.dialog = dynamic_cast<const sdk::Dialog*>(
            added.frame->children.empty() ? nullptr : added.frame->children.back());
        if (added.dialog == nullptr) check(E_FAIL, "a dialog for page " + added.title);
        check(added.page->Show(m_Pages.size() == 1 ? SW_SHOW : SW_HIDE),
              "to show page " + added.title);
    }
}

PropertyPages::~PropertyPages() {
    close();
}

void PropertyPages::close() noexcept {
    for (Page& page : m_Pages) {
        if (page.page != nullptr) {
            page.page->Deactivate();
            page.page->SetObjects(0, nullptr);
            page.page->SetPageSite(nullptr);
            page.page->Release();
        }
        DestroyWindow(page.frame);
    }
    m_Pages.clear();
    for (const auto& [bitmap, texture] : m_Bitmaps) glDeleteTextures(1, &texture);
    m_Bitmaps.clear();
}

std::string PropertyPages::fontFile() const {
    return m_Pages.empty() ? std::string() : m_Pages.front().dialog->font.file;
}

int PropertyPages::fontPixels() const {
    return m_Pages.empty() ? 0 : m_Pages.front().dialog->font.emPixels;
}

int PropertyPages::width() const {
    int width = 0;
    for (const Page& page : m_Pages) width = std::max<int>(width, page.size.cx);
    return width;
}

int PropertyPages::height() const {
    int height = 0;
    for (const Page& page : m_Pages) height = std::max<int>(height, page.size.cy);
    return height;
}

void PropertyPages::help() {
    if (m_Shown < m_Pages.size()) m_Pages[m_Shown].page->Help(nullptr);
}

void PropertyPages::draw(const PlaceSink& placed) {
    if (!ImGui::BeginTabBar("pages")) return;
    for (std::size_t i = 0; i < m_Pages.size(); ++i) {
        const Page& page = m_Pages[i];
        const bool open = ImGui::BeginTabItem(page.title.c_str());
        const ImVec2 tabMin = ImGui::GetItemRectMin(), tabMax = ImGui::GetItemRectMax();
        placed("tab:" + page.title, tabMin.x, tabMin.y, tabMax.x - tabMin.x, tabMax.y - tabMin.y,
               "");
        if (!open) continue;
        if (m_Shown != i) {
            // As a property frame does: the page going to the back first.
            m_Pages[m_Shown].page->Show(SW_HIDE);
            page.page->Show(SW_SHOW);
            m_Shown = i;
        }
        const ImVec2 origin = ImGui::GetCursorScreenPos();
        for (HWND control : page.dialog->children) {
            if (!control->visible()) continue;
            const RECT& r = control->rect;
            ImGui::SetCursorScreenPos({origin.x + r.left, origin.y + r.top});
            ImGui::PushID(control);
            drawControl(page, control, placed);
            ImGui::PopID();
        }
        ImGui::SetCursorScreenPos(origin);
        ImGui::Dummy({static_cast<float>(page.size.cx), static_cast<float>(page.size.cy)});
        ImGui::EndTabItem();
    }
    ImGui::EndTabBar();
}

void PropertyPages::drawControl(const Page& page, HWND control, const PlaceSink& placed) {
    const ImVec2 at = ImGui::GetCursorScreenPos();
    const float width = static_cast<float>(control->rect.right - control->rect.left);
    const float height = static_cast<float>(control->rect.bottom - control->rect.top);
    const std::string name = page.title + ":" + std::to_string(control->id);
    const std::string text = host::toUtf8(control->text);
    bool reported = false;
    std::string value;
    const auto report = [&] {
        if (reported) return;
        reported = true;
        const ImVec2 min = ImGui::GetItemRectMin(), max = ImGui::GetItemRectMax();
        placed(name, min.x, min.y, max.x - min.x, max.y - min.y, value);
    };
    const auto tooltip = [&] {
        if (!ImGui::IsItemHovered()) return;
        const std::wstring tip = sdk::controlTooltip(control);
        if (!tip.empty()) ImGui::SetTooltip("%s", host::toUtf8(tip).c_str());
    };

    if (auto* combo = dynamic_cast<sdk::ComboBox*>(control)) {
        ImGui::SetNextItemWidth(width);
        // The template's height is the dropped list's; the field takes the font's.
        placed(name, at.x, at.y, width, ImGui::GetFrameHeight(), text);
        reported = true;
        const bool open = ImGui::BeginCombo("##combo", text.c_str());
        if (!open) tooltip();
        if (open) {
            for (std::size_t i = 0; i < combo->items.size(); ++i) {
                const std::string item = host::toUtf8(combo->items[i]);
                if (ImGui::Selectable(item.c_str(), static_cast<int>(i) == combo->selection))
                    sdk::selectComboItem(control, static_cast<int>(i));
                const ImVec2 min = ImGui::GetItemRectMin(), max = ImGui::GetItemRectMax();
                placed(name + ":" + item, min.x, min.y, max.x - min.x, max.y - min.y, "");
            }
            ImGui::EndCombo();
        }
    } else if (auto* button = dynamic_cast<sdk::Button*>(control)) {
        switch (button->kind()) {
            case sdk::Button::Kind::GroupBox: {
                const float top = at.y + (text.empty() ? 0.0f : ImGui::GetFontSize() / 2);
                ImGui::GetWindowDrawList()->AddRect({at.x, top}, {at.x + width, at.y + height},
                                                    edgeColour());
                if (!text.empty()) ImGui::TextUnformatted(text.c_str());
                reported = true;
                break;
            }
            case sdk::Button::Kind::CheckBox:
            case sdk::Button::Kind::AutoCheckBox: {
                // The box shows the control's state; a click goes to the control, never to
                // the box, so the page decides what the check becomes.
                bool checked = button->check == BST_CHECKED;
                value = checked ? "checked" : "unchecked";
                if (ImGui::Checkbox((text + "##box").c_str(), &checked)) sdk::clickButton(control);
                tooltip();
                break;
            }
            case sdk::Button::Kind::Push:
                if (ImGui::Button((text + "##button").c_str(), {width, height}))
                    sdk::clickButton(control);
                tooltip();
                break;
        }
    } else if (auto* label = dynamic_cast<sdk::Static*>(control)) {
        if (label->showsBitmap() && label->image != nullptr) {
            const sdk::Bitmap& bitmap = *label->image;
            const ImVec2 size{static_cast<float>(bitmap.width), static_cast<float>(bitmap.height)};
            ImGui::Image(
                reinterpret_cast<ImTextureID>(static_cast<std::uintptr_t>(bitmapTexture(bitmap))),
                size);
            if ((label->style & WS_BORDER) != 0) {
                ImGui::GetWindowDrawList()->AddRect({at.x - 1, at.y - 1},
                                                    {at.x + size.x + 1, at.y + size.y + 1},
                                                    IM_COL32(0, 0, 0, 255));
            }
        } else {
            // A static shows its text inside its own rectangle, wrapped at its right edge.
            ImGui::PushClipRect(at, {at.x + width, at.y + height}, true);
            ImGui::PushTextWrapPos(at.x + width - ImGui::GetWindowPos().x + ImGui::GetScrollX());
            ImGui::TextUnformatted(text.c_str());
            ImGui::PopTextWrapPos();
            ImGui::PopClipRect();
        }
    }
    report();
}

GLuint PropertyPages::bitmapTexture(const sdk::Bitmap& bitmap) {
    auto [it, added] = m_Bitmaps.try_emplace(&bitmap, 0);
    if (!added) return it->second;
    glGenTextures(1, &it->second);
    glBindTexture(GL_TEXTURE_2D, it->second);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    // 0xAARRGGBB words are the bytes B, G, R, A in memory.
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, bitmap.width, bitmap.height, 0, GL_BGRA,
                 GL_UNSIGNED_BYTE, bitmap.pixels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return it->second;
}

}  // namespace pattix::view
