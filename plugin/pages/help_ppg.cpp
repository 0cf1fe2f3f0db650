#include "plugin/pages/help_ppg.hpp"

#include <cwchar>
#include <iterator>
#include <string_view>

#include "plugin/module/module_state.hpp"
#include "plugin/overlay/interactive_tool.hpp"
#include "plugin/pages/parameters.hpp"
#include "sdk/platform/registry.hpp"
#include "sdk/platform/shell.hpp"

namespace pattix {
namespace {

constexpr UINT kDialogId = 2;
constexpr UINT kHideOverlayBox = 1003;
constexpr UINT kOnlineHelpButton = 1006;
constexpr UINT kDescriptionText = 1005;
constexpr UINT kReleaseText = 1007;
constexpr UINT kNoticeText = 1008;
constexpr UINT kCompanyText = 1009;
constexpr UINT kCreditText = 1010;
// The button's tooltip names a string the table does not hold: it has no tooltip.
constexpr DWORD IDS_ONLINE_HELP_TOOLTIP = 1021;

constexpr DWORD kBoundFlags = 16;
constexpr DWORD kCommandFlags = 18;
constexpr DWORD kTerminatorFlags = 2;

const CDSPPGControlMapEntry kControls[] = {
    {PARAM_HIDE_OVERLAY, VT_BOOL, HelpPPG::hideOverlayValueOffset(), VT_BOOL, kHideOverlayBox,
     static_cast<DSPPGHandler>(&HelpPPG::OnHideOverlay), kBoundFlags, IDS_HIDE_OVERLAY_DESCRIPTION,
     DSPPG_NONE},
    {DSPROPERTY_NONE, VT_EMPTY, DSPPG_NONE, VT_EMPTY, kOnlineHelpButton,
     static_cast<DSPPGHandler>(&HelpPPG::OnOnlineHelp), kCommandFlags, IDS_ONLINE_HELP_TOOLTIP,
     DSPPG_NONE},
    {GUID_NULL, VT_EMPTY, DSPPG_NONE, VT_EMPTY, DSPPG_NONE, nullptr, kTerminatorFlags, DSPPG_NONE,
     DSPPG_NONE},
};

CDSPPGControlMap g_controlMap("Vornex4.3", 1, &CDSBasePropertyPage::m_ControlMap, kControls);

constexpr const char* kDescription = "Pattix generates colour bars and other test patterns.\n";
constexpr const char* kRelease = "Vornex 4.3v1 for DS10.0";
constexpr const char* kNotice = "Copyright \xA9 2026 Quillmere";
constexpr const char* kCompany = "Quillmere";

// Where the host's installer records the Program Files folder.
constexpr const wchar_t* kWindowsKey = L"Software\\Microsoft\\Windows\\CurrentVersion";
constexpr const wchar_t* kFolderValues[] = {L"ProgramFilesDir (x86)", L"ProgramFilesDir"};
constexpr const wchar_t* kFallbackFolder = L"C:\\Program Files";
// The manual's place below the folder; the host's major version fills in the product folder.
constexpr const wchar_t* kMaker = L"\\Quillmere\\";
constexpr const wchar_t* kProduct = L"Vornex 4.3 for DS";
constexpr const wchar_t* kHostVersion = L"%d (32bit)";
constexpr int kHostMajorVersion = 10;
constexpr const wchar_t* kDocument = L"\\Documentation\\Vornex4.3.pdf";

// Reads a folder value into `folder`, always terminated: the registry hands back the bytes as
// stored, and a value stored without its terminator must not run on into the buffer's rest.
LSTATUS readFolderValue(HKEY key, const wchar_t* name, WCHAR (&folder)[MAX_PATH]) {
    DWORD type = REG_NONE;
    DWORD size = (MAX_PATH - 1) * sizeof(WCHAR);
    const LSTATUS status =
        RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(folder), &size);
    if (status != ERROR_SUCCESS) return status;
    if (type != REG_SZ) return ERROR_FILE_NOT_FOUND;
    folder[size / sizeof(WCHAR)] = L'\0';
    return ERROR_SUCCESS;
}

bool append(WCHAR (&path)[MAX_PATH], std::size_t& length, std::wstring_view piece) {
    if (length + piece.size() >= MAX_PATH) return false;
    std::wmemcpy(path + length, piece.data(), piece.size());
    length += piece.size();
    path[length] = L'\0';
    return true;
}

}  // namespace

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
DWORD HelpPPG::hideOverlayValueOffset() {
    return static_cast<DWORD>(offsetof(HelpPPG, m_HideOverlay) + offsetof(KtDsPPGBinding, m_Value));
}
#pragma GCC diagnostic pop

HelpPPG::HelpPPG()
    : KtDsPPG(kDialogId, IDS_HELP_PAGE_NAME),
      m_bCounted(false),
      m_HideOverlay{this, kHideOverlayBox, PARAM_HIDE_OVERLAY, 1, 0} {
    m_bCounted = ClassCounter<HelpPPG>::increment();
}

HelpPPG::~HelpPPG() {
    unlinkEffect(m_pEffectRef);
    if (m_bCounted) ClassCounter<HelpPPG>::decrement();
}

HRESULT HelpPPG::QueryInterface(REFIID riid, void** ppv) {
    if (ppv != nullptr && riid == CLSID_HelpPPG) {
        AddRef();
        *ppv = static_cast<IPropertyPage*>(this);
        return S_OK;
    }
    return KtDsPPG::QueryInterface(riid, ppv);
}

const CDSPPGControlMap* HelpPPG::GetControlMap() {
    g_controlMap.Initialize();
    return &g_controlMap;
}

BOOL HelpPPG::OnInitDialog() {
    CDSBasePropertyPage::OnInitDialog();
    // Every new dialog starts unchecked, whatever is stored: the check box follows the viewer
    // tool's overlay, which starts visible.
    m_HideOverlay.SetBool(0);
    linkEffect(m_pEffectRef);
    SetItemTextA(kNoticeText, kNotice);
    SetItemTextA(kCompanyText, kCompany);
    SetItemTextA(kCreditText, "");
    SetItemTextA(kReleaseText, kRelease);
    SetItemTextA(kDescriptionText, kDescription);
    return FALSE;
}

void HelpPPG::OnHideOverlay() {
    KtTInteract* tool = GetViewerTool();
    if (tool == nullptr) return;
    tool->SetOverlayVisible(m_HideOverlay.GetValue() == 0);
}

void HelpPPG::OnOnlineHelp() {
    OpenOnlineHelp();
}

bool HelpPPG::FindProgramFilesFolder(WCHAR (&folder)[MAX_PATH]) {
    folder[0] = L'\0';
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kWindowsKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        std::wcscpy(folder, kFallbackFolder);
        return true;
    }
    LSTATUS status = ERROR_FILE_NOT_FOUND;
    for (const wchar_t* name : kFolderValues) {
        folder[0] = L'\0';
        status = readFolderValue(key, name, folder);
        // A folder too long to hold is the machine's folder all the same: no other one stands in.
        if (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) break;
    }
    RegCloseKey(key);
    if (status == ERROR_MORE_DATA) {
        folder[0] = L'\0';
        return false;
    }
    if (status != ERROR_SUCCESS) std::wcscpy(folder, kFallbackFolder);
    return true;
}

bool HelpPPG::BuildHelpPath(const WCHAR* folder, WCHAR (&path)[MAX_PATH]) {
    // Only the version piece is formatted: the folder may hold '%' and is text, not a format.
    WCHAR version[32];
    std::swprintf(version, std::size(version), kHostVersion, kHostMajorVersion);
    std::size_t length = 0;
    path[0] = L'\0';
    for (const std::wstring_view piece :
         {std::wstring_view(folder), std::wstring_view(kMaker), std::wstring_view(kProduct),
          std::wstring_view(version), std::wstring_view(kDocument)}) {
        if (!append(path, length, piece)) {
            path[0] = L'\0';
            return false;
        }
    }
    return true;
}

void HelpPPG::OpenOnlineHelp() {
    WCHAR folder[MAX_PATH];
    WCHAR path[MAX_PATH];
    if (!FindProgramFilesFolder(folder) || !BuildHelpPath(folder, path)) return;
    ShellExecuteW(nullptr, L"open", path, nullptr, nullptr, SW_SHOWDEFAULT);
}

}  // namespace pattix
