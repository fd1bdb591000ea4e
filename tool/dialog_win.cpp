#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>

#include "platform/win_text.h"
#include "tool/tool.h"

namespace tavrelo {

namespace {

constexpr int kFrenchTemplate = 104;
constexpr int kEnglishTemplate = 106;
constexpr int kAdminBox = 1007;
constexpr DWORD kPathUnits = 2048;

enum class Kind { Image, Icon, Properties, Target };

// One row of the dialog: its check box, path field, pick button and the control enabled with it.
struct Row {
    int check, path, pick, extra;
    Field field;
    Kind kind;
    const wchar_t* filter; // name, NUL, patterns, NUL NUL
};
constexpr Row kRows[] = {
    {1026, 1029, 1028, 0, &IntegrationJob::imageSource, Kind::Image, L"Image Bitmap\0*.bmp;*.gif;*.jpg;*.jpeg;*.png\0"},
    {1001, 1013, 1020, 1016, &IntegrationJob::iconSource, Kind::Icon, L"Icon\0*.ico\0"},
    {1002, 1014, 1019, 1017, &IntegrationJob::propertiesSource, Kind::Properties, L"Properties\0*.properties\0"},
    {1004, 1015, 1021, kAdminBox, &IntegrationJob::exeTarget, Kind::Target, L"Executable\0*.exe\0"},
    {1005, 1011, 1022, 0, &IntegrationJob::cplTarget, Kind::Target, L"Control Panel\0*.cpl\0"},
    {1006, 1024, 1025, 0, &IntegrationJob::scrTarget, Kind::Target, L"ScreenSaver\0*.scr\0"},
};
constexpr std::size_t kExeRow = 3;
// The rows whose path suggests where a pick starts, in order.
constexpr std::size_t kStartRows[] = {3, 4, 5, 0, 1, 2};

struct DialogState {
    IntegrationJob& job;
    LoadedSources& sources;
};

bool checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void updateOk(HWND dialog) {
    bool target = false, source = false;
    for (std::size_t i = 0; i < std::size(kRows); ++i)
        if (checked(dialog, kRows[i].check)) (kRows[i].kind == Kind::Target ? target : source) = true;
    const bool exeOnly = checked(dialog, kRows[kExeRow].check) && !checked(dialog, kRows[4].check) &&
                         !checked(dialog, kRows[5].check);
    EnableWindow(GetDlgItem(dialog, IDOK), target && (source || exeOnly));
}

void fillRow(HWND dialog, const DialogState& state, const Row& row, bool isNew) {
    const std::optional<Text>& path = state.job.*row.field;
    SetDlgItemTextW(dialog, row.path, path ? wc(*path) : L"");
    if (isNew) CheckDlgButton(dialog, row.check, path ? BST_CHECKED : BST_UNCHECKED);
    for (int id : {row.check, row.path, row.extra})
        if (id) EnableWindow(GetDlgItem(dialog, id), path.has_value());
    updateOk(dialog);
}

void fillAll(HWND dialog, const DialogState& state, unsigned newRows) {
    for (std::size_t i = 0; i < std::size(kRows); ++i) fillRow(dialog, state, kRows[i], (newRows >> i) & 1);
}

// Takes a file into its row when it loads (a source) or is a launcher (a target).
bool accept(DialogState& state, const Row& row, TextView file) {
    LoadedSources& sources = state.sources;
    switch (row.kind) {
    case Kind::Icon: {
        IconFile icon;
        if (!loadIconSource(file, icon)) return false;
        state.job.iconSource = icon.path;
        sources.icon = std::move(icon);
        return true;
    }
    case Kind::Image: {
        Text path;
        if (!loadImageSource(file, path, sources.imageBytes)) return false;
        state.job.imageSource = sources.imagePath = std::move(path);
        return true;
    }
    case Kind::Properties: {
        Text path;
        if (!loadPropertiesSource(file, path, sources.propertiesText)) return false;
        state.job.propertiesSource = sources.propertiesPath = std::move(path);
        return true;
    }
    case Kind::Target:
        if (!isLauncherFile(file)) {
            showMessage(kMessageNotALauncher, kBoxOk);
            return false;
        }
        state.job.*row.field = Text(file);
        return true;
    }
    return false;
}

void pick(HWND dialog, DialogState& state, const Row& row) {
    wchar_t file[kPathUnits] = {};
    if (const auto& current = state.job.*row.field; current && current->size() < kPathUnits)
        lstrcpynW(file, wc(*current), kPathUnits);
    Text start;
    for (std::size_t i : kStartRows) {
        if (const auto& path = state.job.*kRows[i].field) {
            start = path->substr(0, path->find_last_of(u"\\/") == Text::npos ? 0 : path->find_last_of(u"\\/"));
            break;
        }
    }
    OPENFILENAMEW open{};
    open.lStructSize = sizeof open;
    open.hwndOwner = dialog;
    open.lpstrFilter = row.filter;
    open.lpstrFile = file;
    open.nMaxFile = kPathUnits;
    open.lpstrInitialDir = start.empty() ? nullptr : wc(start);
    open.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_LONGNAMES;
    if (GetOpenFileNameW(&open) && accept(state, row, tc(file))) fillRow(dialog, state, row, true);
}

void drop(HWND dialog, DialogState& state, HDROP dropped) {
    unsigned newRows = 0;
    const UINT count = DragQueryFileW(dropped, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        wchar_t file[kPathUnits] = {};
        if (!DragQueryFileW(dropped, i, file, kPathUnits)) continue;
        const Field field = fieldForFile(tc(file));
        for (std::size_t r = 0; r < std::size(kRows); ++r)
            if (kRows[r].field == field && accept(state, kRows[r], tc(file))) newRows |= 1u << r;
    }
    DragFinish(dropped);
    fillAll(dialog, state, newRows);
}

void information(HWND dialog, const BuiltMessage& message) {
    MessageBoxW(dialog, wc(message.text), wc(message.caption), MB_OK | MB_TOPMOST);
}

void finish(HWND dialog, DialogState& state) {
    for (const Row& row : kRows) {
        if (checked(dialog, row.check)) continue;
        state.job.*row.field = std::nullopt;
        if (row.kind == Kind::Icon) state.sources.icon.reset();
        if (row.kind == Kind::Image) state.sources.imagePath.reset();
        if (row.kind == Kind::Properties) state.sources.propertiesPath.reset();
    }
    state.job.admin = checked(dialog, kAdminBox);
    EndDialog(dialog, IDOK);
}

INT_PTR CALLBACK dialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    try {
        switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            state = reinterpret_cast<DialogState*>(lParam);
            fillAll(dialog, *state, ~0u);
            EnableWindow(GetDlgItem(dialog, IDCANCEL), TRUE);
            DragAcceptFiles(dialog, TRUE);
            return TRUE;
        case WM_DROPFILES:
            drop(dialog, *state, reinterpret_cast<HDROP>(wParam));
            return TRUE;
        case WM_CLOSE:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if (id == IDOK) finish(dialog, *state);
            else if (id == IDCANCEL) EndDialog(dialog, IDCANCEL);
            else if (id == 1016 && state->sources.icon) information(dialog, iconInformation(*state->sources.icon));
            else if (id == 1017 && state->sources.propertiesPath)
                information(dialog, propertiesInformation(*state->sources.propertiesPath, state->sources.propertiesText));
            for (const Row& row : kRows) {
                if (id == row.pick) pick(dialog, *state, row);
                if (id == row.check) {
                    if (row.extra == kAdminBox) EnableWindow(GetDlgItem(dialog, kAdminBox), checked(dialog, row.check));
                    updateOk(dialog);
                }
            }
            return TRUE;
        }
        default:
            return FALSE;
        }
    } catch (...) {
        // Out of memory in a window procedure: the dialog goes on without the step.
        return TRUE;
    }
}

} // namespace

bool runDialog(IntegrationJob& job, LoadedSources& sources) {
    job.adminGiven = true;
    DialogState state{job, sources};
    const int id = isFrench() ? kFrenchTemplate : kEnglishTemplate;
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), nullptr, dialogProcedure,
                           reinterpret_cast<LPARAM>(&state)) == IDOK;
}

} // namespace tavrelo
