// The host's property pages: the page interfaces a property frame drives (IPropertyPage and the
// host's notify sinks), the page bases CDSBasePropertyPage and CDSPropertyPage, the control map
// that binds a page's controls to effect parameters, and the undo-style manager that groups a
// page's writes into undo events.
//
// How a host shows and drives a page:
//   1. Create it through the module's factory and ask for IID_IPropertyPage.
//   2. SetPageSite, then SetObjects with the objects it edits (an effect first).
//   3. GetPageInfo: title (free it with CoTaskMemFree) and size in pixels.
//   4. Activate with a parent window: the page creates its dialog from the module's template as
//      the parent's last child (see sdk/platform/dialog.hpp for reading and clicking controls)
//      and initialises it. Show(SW_SHOW) when it comes to the front, Show(SW_HIDE) when another
//      page does; Move to place it.
//   5. Clicks and combo picks reach the page as WM_COMMAND (sdk::clickButton,
//      sdk::selectComboItem); the control map writes the parameter and runs the entry's handler.
//      Changes made elsewhere (undo, another page, a reset) reach it through the effect's
//      property notifications and refresh its controls.
//   6. Deactivate destroys the dialog; SetObjects(0, nullptr) lets the objects go; Release.
#pragma once

#include <atomic>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "sdk/host/properties.hpp"
#include "sdk/platform/dialog.hpp"
#include "sdk/platform/unknown.hpp"
#include "sdk/platform/variant.hpp"

class CDSImageEffectEx;

struct SIZE {
    LONG cx = 0;
    LONG cy = 0;
};

struct PROPPAGEINFO {
    ULONG cb;
    LPWSTR pszTitle;  // CoTaskMemAlloc'd; the caller frees it
    SIZE size;        // pixels
    LPWSTR pszDocString;
    LPWSTR pszHelpFile;
    DWORD dwHelpContext;
};

inline constexpr IID IID_IPropertyPageSite = sdk::guid("B196B28C-BAB4-101A-B69C-00AA00341D07");
inline constexpr IID IID_IPropertyPage = sdk::guid("B196B28D-BAB4-101A-B69C-00AA00341D07");
inline constexpr IID IID_IDSPropertyNotifySink = sdk::guid("6A3E1B30-5D0C-4F7B-9A41-2C1E0F7D3B01");
inline constexpr IID IID_IDSTransportNotifySink = sdk::guid("6A3E1B31-5D0C-4F7B-9A41-2C1E0F7D3B01");
inline constexpr IID IID_IDSXThreadNotifySink = sdk::guid("6A3E1B32-5D0C-4F7B-9A41-2C1E0F7D3B01");
inline constexpr IID IID_IDSEnablePPGNotifications =
    sdk::guid("6A3E1B33-5D0C-4F7B-9A41-2C1E0F7D3B01");

inline constexpr DWORD PROPPAGESTATUS_DIRTY = 0x1;

// The property frame's side, which a page tells of its state.
struct IPropertyPageSite : IUnknown {
    virtual HRESULT OnStatusChange(DWORD flags) = 0;

protected:
    ~IPropertyPageSite() = default;
};

struct IPropertyPage : IUnknown {
    virtual HRESULT SetPageSite(IPropertyPageSite* site) = 0;
    virtual HRESULT Activate(HWND parent, const RECT* rect, BOOL modal) = 0;
    virtual HRESULT Deactivate() = 0;
    virtual HRESULT GetPageInfo(PROPPAGEINFO* info) = 0;
    virtual HRESULT SetObjects(ULONG count, IUnknown** objects) = 0;
    virtual HRESULT Show(UINT command) = 0;
    virtual HRESULT Move(const RECT* rect) = 0;
    virtual HRESULT IsPageDirty() = 0;
    virtual HRESULT Apply() = 0;
    virtual HRESULT Help(LPCWSTR helpFolder) = 0;
    virtual HRESULT TranslateAccelerator(void* message) = 0;

protected:
    ~IPropertyPage() = default;
};

// A parameter of an inspected object changed (DSPROPERTY_ALL: all of them).
struct IDSPropertyNotifySink : IUnknown {
    virtual HRESULT PropertyChanged(REFGUID property) = 0;

protected:
    ~IDSPropertyNotifySink() = default;
};

// The transport moved to another time: animated values may show other values now.
struct IDSTransportNotifySink : IUnknown {
    virtual HRESULT TimeChanged(double time) = 0;

protected:
    ~IDSTransportNotifySink() = default;
};

// Changes made on another thread (a render): posted from there, delivered on the page's thread.
struct IDSXThreadNotifySink : IUnknown {
    virtual HRESULT PostPropertyChanged(REFGUID property) = 0;
    virtual HRESULT DeliverPosted() = 0;

protected:
    ~IDSXThreadNotifySink() = default;
};

// Lets the host mute a page's notifications (while it loads a project, say).
struct IDSEnablePPGNotifications : IUnknown {
    virtual HRESULT EnableNotifications(BOOL enable) = 0;

protected:
    ~IDSEnablePPGNotifications() = default;
};

class CDSBasePropertyPage;
// A control-map handler: a member function of the page, no arguments, no result.
using DSPPGHandler = void (CDSBasePropertyPage::*)();

// Control-map entry flags.
inline constexpr DWORD DSPPG_COMMAND = 0x02;    // edits no property: a change runs the handler only
inline constexpr DWORD DSPPG_IMMEDIATE = 0x10;  // a change writes the property at once
inline constexpr DWORD DSPPG_NONE = 0xFFFFFFFF;  // no bound variable, no tooltip, no control

// One control of a page: the parameter it edits, where the page keeps the value it shows (the
// bound variable, a 32-bit field at a byte offset in the page object), the control, the handler
// run after a change, flags and the tooltip's string id. The terminator has the null GUID and
// control DSPPG_NONE.
class SDK_API CDSPPGControlMapEntry {
public:
    CDSPPGControlMapEntry(REFGUID property, VARTYPE propertyType, DWORD boundOffset,
                          VARTYPE boundType, UINT controlId, DSPPGHandler handler, DWORD flags,
                          DWORD tooltipId, DWORD reserved);

    bool isTerminator() const { return m_Property == GUID_NULL && m_ControlId == DSPPG_NONE; }
    bool editsProperty() const {
        return (m_Flags & DSPPG_COMMAND) == 0 && m_Property != DSPROPERTY_NONE;
    }
    bool hasBoundVariable() const { return m_BoundOffset != DSPPG_NONE; }

    GUID m_Property;
    VARTYPE m_PropertyType;
    DWORD m_BoundOffset;
    VARTYPE m_BoundType;
    UINT m_ControlId;
    DSPPGHandler m_Handler;
    DWORD m_Flags;
    DWORD m_TooltipId;
    DWORD m_Reserved;
};

// A page's static control map: its entries up to the terminator, then its base map's.
class SDK_API CDSPPGControlMap {
public:
    CDSPPGControlMap(const char* name, int version, const CDSPPGControlMap* baseMap,
                     const CDSPPGControlMapEntry* entries);

    // Counts the entries up to the terminator; safe to call again. E_UNEXPECTED when two
    // entries name the same control.
    HRESULT Initialize();
    bool initialized() const { return m_bInitialized; }

    const char* name() const { return m_Name; }
    int version() const { return m_Version; }
    const CDSPPGControlMap* baseMap() const { return m_pBaseMap; }
    std::span<const CDSPPGControlMapEntry> entries() const { return {m_pEntries, m_Count}; }
    // The entry of a control, this map's first, then the base map's; null when none.
    const CDSPPGControlMapEntry* find(UINT controlId) const;

private:
    const char* m_Name;
    int m_Version;
    const CDSPPGControlMap* m_pBaseMap;
    const CDSPPGControlMapEntry* m_pEntries;
    std::size_t m_Count = 0;
    bool m_bInitialized = false;
};

// The WM_COMMAND a page is handling now (control 0 outside one).
struct DSControlNotification {
    UINT controlId = 0;
    WORD code = 0;
    HWND control = nullptr;
};

class SDK_API CDSBasePropertyPage : public IPropertyPage,
                                    public IDSPropertyNotifySink,
                                    public IDSTransportNotifySink,
                                    public IDSXThreadNotifySink,
                                    public IDSEnablePPGNotifications {
public:
    // How a write is recorded for undo: not at all, as an event of its own, or appended to the
    // group an undo-style manager opened.
    enum UNDO_STYLE : int { UNDO_NONE = 0, UNDO_NEW_EVENT = 1, UNDO_APPEND = 2 };

    static const CDSPPGControlMap m_ControlMap;  // the base of every page's map: no entries

    CDSBasePropertyPage(const CDSBasePropertyPage&) = delete;
    CDSBasePropertyPage& operator=(const CDSBasePropertyPage&) = delete;

    // IUnknown: IPropertyPage is the page's identity.
    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override;
    ULONG Release() override;

    // IPropertyPage
    HRESULT SetPageSite(IPropertyPageSite* site) override;
    HRESULT Activate(HWND parent, const RECT* rect, BOOL modal) override;
    HRESULT Deactivate() override;
    HRESULT GetPageInfo(PROPPAGEINFO* info) override;
    HRESULT SetObjects(ULONG count, IUnknown** objects) override;
    HRESULT Show(UINT command) override;
    HRESULT Move(const RECT* rect) override;
    HRESULT IsPageDirty() override;
    HRESULT Apply() override;
    HRESULT Help(LPCWSTR helpFolder) override;
    HRESULT TranslateAccelerator(void* message) override;

    // Notify sinks
    HRESULT PropertyChanged(REFGUID property) override;
    HRESULT TimeChanged(double time) override;
    HRESULT PostPropertyChanged(REFGUID property) override;
    HRESULT DeliverPosted() override;
    HRESULT EnableNotifications(BOOL enable) override;

    // --- what pages build on -------------------------------------------------------------
    virtual const CDSPPGControlMap* GetControlMap();
    // Dialogs and strings come from this module.
    virtual HINSTANCE GetResourceModule();
    // Runs when the dialog has been made, before it is shown; answers FALSE as dialogs do when
    // they leave the focus alone.
    virtual BOOL OnInitDialog();
    // Refreshes every control that shows a parameter.
    virtual HRESULT UpdateAnimatedControls();

    HWND GetHwnd() const { return m_hWnd; }
    HWND GetHwndControl(UINT controlId) const;
    ULONG GetObjectCount() const { return static_cast<ULONG>(m_Objects.size()); }
    IUnknown* GetObject(ULONG index) const;
    const DSControlNotification& GetControlNotification() const { return m_Notification; }

    // The generic work of the control map, by control id. Each answers S_FALSE when the control
    // has no entry or the entry does not do that kind of work.
    HRESULT SetBoundVariableFromControl(UINT controlId);
    HRESULT SetPropertyFromControl(UINT controlId);
    HRESULT SetControlFromProperty(UINT controlId);
    HRESULT SetControlFromBoundVariable(UINT controlId);
    // The tooltip of a control from its entry's string; S_FALSE and no text when there is none.
    HRESULT OnDSControlTooltip(UINT controlId, std::wstring& text);

    // Writes a parameter of every inspected object that has it, recorded for undo as `style`
    // says. Answers the first failure, else S_OK (S_FALSE when no object has the parameter).
    HRESULT SetPlainProperty(REFGUID property, const VARIANT& value, void* parameters,
                             UNDO_STYLE style);

protected:
    CDSBasePropertyPage(UINT dialogId, UINT titleId);
    virtual ~CDSBasePropertyPage();

private:
    static INT_PTR dialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    BOOL onCommand(UINT controlId, WORD code, HWND control);
    const CDSPPGControlMapEntry* entryOf(UINT controlId);
    LONG* boundVariable(const CDSPPGControlMapEntry& entry);
    CDSImageEffectEx* inspectedEffect(ULONG index) const;
    void releaseObjects();

    // Tells the page of changes to the inspected effects' parameters.
    struct Listener final : IDSPropertyListener {
        CDSBasePropertyPage* page = nullptr;
        void OnPropertyChanged(REFGUID id) override;
    };

    std::atomic<ULONG> m_cRef{1};
    UINT m_DialogId;
    UINT m_TitleId;
    HWND m_hWnd = nullptr;
    IPropertyPageSite* m_pSite = nullptr;
    std::vector<IUnknown*> m_Objects;
    std::vector<CDSImageEffectEx*> m_Effects;  // the objects' effect parts, listened to
    Listener m_Listener;
    bool m_bNotifications = true;
    DSControlNotification m_Notification;
    std::mutex m_PostedMutex;
    std::vector<GUID> m_Posted;
};

// A page made from a dialog template with a title from the string table.
class SDK_API CDSPropertyPage : public CDSBasePropertyPage {
protected:
    CDSPropertyPage(UINT dialogId, UINT titleId) : CDSBasePropertyPage(dialogId, titleId) {}
};

// Groups a page's writes into one undo event: between Begin and End, writes made with the style
// Begin hands out join one event named after the control that started it.
class SDK_API CDSUndoStyleMgr {
public:
    explicit CDSUndoStyleMgr(CDSBasePropertyPage* page);
    CDSUndoStyleMgr(const CDSUndoStyleMgr&) = delete;
    CDSUndoStyleMgr& operator=(const CDSUndoStyleMgr&) = delete;
    ~CDSUndoStyleMgr();  // ends a group left open

    // Opens a group (newEvent TRUE) and sets *style to the style that appends to it.
    HRESULT Begin(const DSControlNotification& notification, CDSBasePropertyPage::UNDO_STYLE* style,
                  BOOL newEvent);
    // Closes the group the last Begin opened; S_FALSE when none is open.
    HRESULT End();

private:
    CDSBasePropertyPage* m_pPage;
    int m_Open = 0;
};
