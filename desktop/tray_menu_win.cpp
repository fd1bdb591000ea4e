// The tray icon's menu: the application's own (over a kept host dialog) or a native popup menu
// built from its rows, with a shield as the check mark of items that need administrator rights.
#include <windows.h>

#include <vector>

#include "bridge/bridge.h"
#include "desktop/tray.h"
#include "platform/handles.h"
#include "platform/system.h"
#include "platform/win_text.h"

namespace tavrelo {

namespace {

// An application whose taskGetMenu ignores the id would ask for submenus without end: a menu
// goes at most this deep, an id appears once on a path, and one menu asks at most so many times.
// Beyond that, items stay plain.
constexpr std::size_t kMaxMenuDepth = 16;
constexpr int kMaxMenuRequests = 256;
constexpr UINT kTrackFlags = TPM_RETURNCMD | TPM_BOTTOMALIGN | TPM_RIGHTALIGN;
constexpr int kShieldSize = 16;

jobject hostDialog = nullptr; // a global reference, created once and kept

// The stock shield, built once; null where the system has none.
HBITMAP shield() noexcept {
    static const HBITMAP bitmap = static_cast<HBITMAP>(composeShield(shieldIcon()));
    return bitmap;
}

class MenuBuilder {
  public:
    MenuBuilder(bool right, bool administrator) noexcept : right_(right), administrator_(administrator) {}

    // The menu for `id` (0: the top level); null when the application has none for it.
    HMENU build(int id) noexcept {
        if (requests_ >= kMaxMenuRequests) return nullptr;
        ++requests_;
        const auto rows = taskGetMenu(right_, id);
        if (!rows && id != 0) return nullptr;
        MenuHandle menu(CreatePopupMenu());
        if (!menu) return nullptr;
        path_.push_back(id);
        UINT position = 0;
        if (rows)
            for (const MenuRow& row : *rows) insert(menu.get(), position++, row);
        path_.pop_back();
        const int defaultId = taskGetDefaultMenuID(right_);
        if (defaultId >= 0) SetMenuDefaultItem(menu.get(), static_cast<UINT>(defaultId), FALSE);
        return menu.release();
    }

  private:
    bool mayOpen(int id) const noexcept {
        if (id == 0 || path_.size() >= kMaxMenuDepth) return false;
        for (const int above : path_)
            if (above == id) return false;
        return true;
    }

    void insert(HMENU menu, UINT position, const MenuRow& row) noexcept {
        MENUITEMINFOW item{};
        item.cbSize = sizeof item;
        item.wID = static_cast<UINT>(row.id);
        item.fType = row.type;
        item.dwTypeData = const_cast<wchar_t*>(wc(row.label.c_str()));
        item.cch = static_cast<UINT>(row.label.size());
        HMENU submenu = mayOpen(row.id) ? build(row.id) : nullptr;
        unsigned state = row.state;
        if (administrator_) state &= ~kMenuStateNeedsAdmin;
        const bool needsAdmin = (state & kMenuStateNeedsAdmin) != 0;
        state &= ~kMenuStateNeedsAdmin;
        item.fState = state;
        item.fMask = MIIM_ID | MIIM_TYPE;
        if (state != 0) item.fMask |= MIIM_STATE;
        if (needsAdmin || (state & MFS_CHECKED)) item.fMask |= MIIM_CHECKMARKS;
        if (needsAdmin) item.hbmpChecked = item.hbmpUnchecked = shield();
        if (submenu) {
            item.fMask |= MIIM_SUBMENU;
            item.hSubMenu = submenu;
        }
        // A menu that refused the item leaves its submenu to nobody.
        if (!InsertMenuItemW(menu, position, TRUE, &item) && submenu) DestroyMenu(submenu);
    }

    bool right_;
    bool administrator_;
    int requests_ = 0;
    std::vector<int> path_;
};

// The application's own menu over the host dialog; true when it showed one.
bool applicationMenu(bool right, POINT at) noexcept {
    if (!definesTaskDisplayMenu()) return false;
    if (!hostDialog) {
        LocalRef<jobject> dialog(newObject("javax/swing/JDialog", nullptr));
        if (dialog) {
            callMethodVoid("javax/swing/JDialog", dialog.get(), "setUndecorated", "Z", JNI_TRUE);
            callMethodVoid("java/awt/Component", dialog.get(), "setBounds", "IIII", 0, 0, 0, 0);
            callMethodVoid("java/awt/Dialog", dialog.get(), "show", nullptr);
            if (JNIEnv* env = javaEnv()) hostDialog = env->NewGlobalRef(dialog.get());
        }
    }
    if (hostDialog) callMethodVoid("java/awt/Window", hostDialog, "toFront", nullptr);
    return taskDisplayMenu(right, hostDialog, at.x, at.y);
}

} // namespace

void* composeShield(void* shieldIconHandle) noexcept {
    const HICON icon = static_cast<HICON>(shieldIconHandle);
    if (!icon) return nullptr;
    ICONINFO parts{};
    if (!GetIconInfo(icon, &parts)) return nullptr;
    const HDC screen = GetDC(nullptr);
    const HDC target = CreateCompatibleDC(screen);
    const HDC source = CreateCompatibleDC(screen);
    HBITMAP result = CreateCompatibleBitmap(screen, kShieldSize, kShieldSize);
    HBITMAP composed = nullptr;
    if (target && source && result) {
        const HGDIOBJ oldTarget = SelectObject(target, result);
        RECT all{0, 0, kShieldSize, kShieldSize};
        FillRect(target, &all, GetSysColorBrush(COLOR_MENU));
        // Mask first (keeps the background where the icon is transparent), then the colours.
        const HGDIOBJ oldSource = SelectObject(source, parts.hbmMask);
        BitBlt(target, 0, 0, kShieldSize, kShieldSize, source, 0, 0, SRCAND);
        if (parts.hbmColor) {
            SelectObject(source, parts.hbmColor);
            BitBlt(target, 0, 0, kShieldSize, kShieldSize, source, 0, 0, SRCPAINT);
        }
        SelectObject(source, oldSource);
        SelectObject(target, oldTarget);
        composed = result;
    } else if (result) {
        DeleteObject(result);
    }
    if (source) DeleteDC(source);
    if (target) DeleteDC(target);
    ReleaseDC(nullptr, screen);
    if (parts.hbmMask) DeleteObject(parts.hbmMask);
    if (parts.hbmColor) DeleteObject(parts.hbmColor);
    return composed;
}

void* buildTrayMenu(bool right, bool administrator) noexcept { return MenuBuilder(right, administrator).build(0); }

void showTrayMenu(void* trayWindow, bool right) noexcept {
    const HWND window = static_cast<HWND>(trayWindow);
    POINT at{};
    GetCursorPos(&at);
    if (applicationMenu(right, at)) return;
    MenuHandle menu(static_cast<HMENU>(buildTrayMenu(right, canSetSystemTime())));
    int chosen = 0;
    if (menu) {
        SetForegroundWindow(window);
        chosen = static_cast<int>(TrackPopupMenu(menu.get(), kTrackFlags, at.x, at.y, 0, window, nullptr));
        // Without a message after it, a second click on the icon may not open the menu again.
        PostMessageW(window, WM_NULL, 0, 0);
    }
    if (chosen >= 0) taskDoAction(right, chosen);
}

} // namespace tavrelo
