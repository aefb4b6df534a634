#pragma once

// The part of the Windows API that the tools and the stand-in host use, for
// builds that have no Windows. Same names, types and values as Windows.
// Windows are objects of the stand-in, dialogs are built from the DIALOGEX
// templates of a module's compiled resources (.res), and strings come from
// its string tables, so the resources have one source on every platform.

#include <cstddef>
#include <cstdint>

#define WIN_STANDIN_API __attribute__((visibility("default")))

#define WINAPI
#define CALLBACK
#define APIENTRY

using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using LONG = long;  // wide enough for a pointer in window user data
using INT_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using WPARAM = UINT_PTR;
using LPARAM = LONG_PTR;
using LRESULT = LONG_PTR;
using COLORREF = DWORD;
using CHAR = char;
using LPSTR = char*;
using LPCSTR = const char*;
using LPVOID = void*;

struct StandinWindow;
struct StandinModule;
struct StandinCursor;
using HWND = StandinWindow*;
using HINSTANCE = StandinModule*;
using HMODULE = StandinModule*;
using HCURSOR = StandinCursor*;
struct StandinMenu;
using HMENU = StandinMenu*;
// A resource of a module: found (HRSRC), loaded (HGLOBAL) and locked
// (its data), each the same entry of the module's resources.
struct StandinResource;
using HRSRC = StandinResource*;
using HGLOBAL = StandinResource*;

using DLGPROC = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);
using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

#ifndef TRUE
#  define TRUE 1
#endif
#ifndef FALSE
#  define FALSE 0
#endif

#define LOWORD(l) (static_cast<WORD>(static_cast<UINT_PTR>(l) & 0xffff))
#define HIWORD(l) (static_cast<WORD>((static_cast<UINT_PTR>(l) >> 16) & 0xffff))
#define MAKEWPARAM(l, h) \
  (static_cast<WPARAM>(static_cast<DWORD>((static_cast<WORD>(l)) | (static_cast<DWORD>(static_cast<WORD>(h)) << 16))))
#define MAKELPARAM(l, h) (static_cast<LPARAM>(MAKEWPARAM(l, h)))
#define MAKEINTRESOURCEA(i) (reinterpret_cast<LPCSTR>(static_cast<UINT_PTR>(static_cast<WORD>(i))))
#define IS_INTRESOURCE(r) ((reinterpret_cast<UINT_PTR>(r) >> 16) == 0)
#define RGB(r, g, b)                                                                                \
  (static_cast<COLORREF>((static_cast<BYTE>(r)) | (static_cast<DWORD>(static_cast<BYTE>(g)) << 8) | \
                         (static_cast<DWORD>(static_cast<BYTE>(b)) << 16)))

// Library entry reasons.
constexpr DWORD DLL_PROCESS_DETACH = 0;
constexpr DWORD DLL_PROCESS_ATTACH = 1;
constexpr DWORD DLL_THREAD_ATTACH = 2;
constexpr DWORD DLL_THREAD_DETACH = 3;

// Messages.
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_SETTEXT = 0x000C;
constexpr UINT WM_GETTEXT = 0x000D;
constexpr UINT WM_GETTEXTLENGTH = 0x000E;
constexpr UINT WM_SETFONT = 0x0030;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT BM_GETCHECK = 0x00F0;
constexpr UINT BM_SETCHECK = 0x00F1;
constexpr UINT BM_CLICK = 0x00F5;
constexpr WORD BN_CLICKED = 0;

// Window styles.
constexpr DWORD WS_CHILD = 0x40000000L;
constexpr DWORD WS_VISIBLE = 0x10000000L;
constexpr DWORD WS_DISABLED = 0x08000000L;
constexpr DWORD WS_GROUP = 0x00020000L;
constexpr DWORD WS_TABSTOP = 0x00010000L;
constexpr DWORD DS_SETFONT = 0x40L;
constexpr DWORD SS_CENTER = 0x1L;
constexpr DWORD WS_POPUP = 0x80000000L;
constexpr DWORD WS_OVERLAPPED = 0x00000000L;
constexpr DWORD DS_FIXEDSYS = 0x0008L;
constexpr DWORD DS_SHELLFONT = DS_SETFONT | DS_FIXEDSYS;
constexpr DWORD SS_LEFT = 0x0L;
constexpr DWORD BS_PUSHBUTTON = 0x0L;
constexpr DWORD BS_DEFPUSHBUTTON = 0x1L;
constexpr DWORD BS_CHECKBOX = 0x2L;
constexpr DWORD BS_AUTOCHECKBOX = 0x3L;
constexpr DWORD BS_RADIOBUTTON = 0x4L;
constexpr DWORD BS_3STATE = 0x5L;
constexpr DWORD BS_AUTO3STATE = 0x6L;
constexpr DWORD BS_GROUPBOX = 0x7L;
constexpr DWORD BS_AUTORADIOBUTTON = 0x9L;
constexpr DWORD BS_TYPEMASK = 0xFL;

constexpr UINT BST_UNCHECKED = 0;
constexpr UINT BST_CHECKED = 1;
constexpr UINT BST_INDETERMINATE = 2;

constexpr UINT GW_HWNDNEXT = 2;
constexpr UINT GW_CHILD = 5;

constexpr int GWL_STYLE = -16;
constexpr int GWL_ID = -12;
constexpr int GWL_USERDATA = -21;
constexpr int GWL_EXSTYLE = -20;
// Dialog window data: the message result, the dialog procedure, user data.
constexpr int DWLP_MSGRESULT = 0;
constexpr int DWLP_DLGPROC = DWLP_MSGRESULT + static_cast<int>(sizeof(LRESULT));
constexpr int DWLP_USER = DWLP_DLGPROC + static_cast<int>(sizeof(DLGPROC));

// Resource types.
#define RT_CURSOR MAKEINTRESOURCEA(1)
#define RT_DIALOG MAKEINTRESOURCEA(5)
#define RT_STRING MAKEINTRESOURCEA(6)
#define RT_VERSION MAKEINTRESOURCEA(16)

// Languages.
#define MAKELANGID(p, s) (static_cast<WORD>((static_cast<WORD>(s) << 10) | static_cast<WORD>(p)))
constexpr WORD LANG_NEUTRAL = 0x00;
constexpr WORD LANG_ENGLISH = 0x09;
constexpr WORD SUBLANG_NEUTRAL = 0x00;
constexpr WORD SUBLANG_ENGLISH_US = 0x01;

#define IDC_CROSS MAKEINTRESOURCEA(32515)
#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define IDC_IBEAM MAKEINTRESOURCEA(32513)
#define IDC_WAIT MAKEINTRESOURCEA(32514)
#define IDC_UPARROW MAKEINTRESOURCEA(32516)
#define IDC_SIZEALL MAKEINTRESOURCEA(32646)
#define IDC_NO MAKEINTRESOURCEA(32648)
#define IDC_HAND MAKEINTRESOURCEA(32649)

// Common dialog flags.
constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
constexpr DWORD OFN_PATHMUSTEXIST = 0x00000800;
constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000;
constexpr DWORD OFN_NOCHANGEDIR = 0x00000008;
constexpr DWORD OFN_EXTENSIONDIFFERENT = 0x00000400;

// Extended errors of the common dialogs (CommDlgExtendedError).
constexpr DWORD CDERR_STRUCTSIZE = 0x0001;
constexpr DWORD CDERR_DIALOGFAILURE = 0xFFFF;
constexpr DWORD FNERR_INVALIDFILENAME = 0x3002;
constexpr DWORD FNERR_BUFFERTOOSMALL = 0x3003;

// The common file dialog record, in its Windows layout (its size here
// differs from 32-bit Windows, where the record up to the Windows 2000
// fields takes 76 bytes).
struct OPENFILENAMEA {
    DWORD lStructSize;
    HWND hwndOwner;
    HINSTANCE hInstance;
    LPCSTR lpstrFilter;
    LPSTR lpstrCustomFilter;
    DWORD nMaxCustFilter;
    DWORD nFilterIndex;
    LPSTR lpstrFile;
    DWORD nMaxFile;
    LPSTR lpstrFileTitle;
    DWORD nMaxFileTitle;
    LPCSTR lpstrInitialDir;
    LPCSTR lpstrTitle;
    DWORD Flags;
    WORD nFileOffset;
    WORD nFileExtension;
    LPCSTR lpstrDefExt;
    LPARAM lCustData;
    LPVOID lpfnHook;
    LPCSTR lpTemplateName;
    LPVOID pvReserved;
    DWORD dwReserved;
    DWORD FlagsEx;
};
using LPOPENFILENAMEA = OPENFILENAMEA*;
#define OPENFILENAME_SIZE_VERSION_400A (offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR))

extern "C" {
WIN_STANDIN_API HWND GetDlgItem(HWND dialog, int id);
WIN_STANDIN_API BOOL CheckDlgButton(HWND dialog, int id, UINT check);
WIN_STANDIN_API UINT IsDlgButtonChecked(HWND dialog, int id);
WIN_STANDIN_API BOOL EnableWindow(HWND window, BOOL enable);
WIN_STANDIN_API BOOL IsWindowEnabled(HWND window);
WIN_STANDIN_API LONG GetWindowLongA(HWND window, int index);
WIN_STANDIN_API LONG SetWindowLongA(HWND window, int index, LONG value);
WIN_STANDIN_API int GetDlgCtrlID(HWND window);
WIN_STANDIN_API HWND GetParent(HWND window);
WIN_STANDIN_API int GetWindowTextA(HWND window, LPSTR text, int capacity);
WIN_STANDIN_API BOOL SetWindowTextA(HWND window, LPCSTR text);
WIN_STANDIN_API LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
WIN_STANDIN_API HWND CreateDialogParamA(HINSTANCE module, LPCSTR templateName, HWND parent, DLGPROC proc, LPARAM param);
WIN_STANDIN_API BOOL DestroyWindow(HWND window);
WIN_STANDIN_API BOOL IsWindow(HWND window);
WIN_STANDIN_API int LoadStringA(HINSTANCE module, UINT id, LPSTR buffer, int capacity);
WIN_STANDIN_API HCURSOR LoadCursorA(HINSTANCE module, LPCSTR name);
// A module's resources, as a program reads its own: null where the module
// has no resource of that type and name. The data lives as long as the
// module.
WIN_STANDIN_API HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
WIN_STANDIN_API HGLOBAL LoadResource(HMODULE module, HRSRC resource);
WIN_STANDIN_API LPVOID LockResource(HGLOBAL loaded);
WIN_STANDIN_API DWORD SizeofResource(HMODULE module, HRSRC resource);
WIN_STANDIN_API void InitCommonControls(void);
WIN_STANDIN_API BOOL GetOpenFileNameA(LPOPENFILENAMEA record);
WIN_STANDIN_API BOOL GetSaveFileNameA(LPOPENFILENAMEA record);
WIN_STANDIN_API DWORD CommDlgExtendedError(void);
WIN_STANDIN_API int GetClassNameA(HWND window, LPSTR name, int capacity);
// GW_CHILD: the first child; GW_HWNDNEXT: the next sibling, in creation order.
WIN_STANDIN_API HWND GetWindow(HWND window, UINT relation);
// Windows without a window procedure: the predefined control classes act
// as they do on Windows; any other class keeps its text and state only.
// For child windows `menu` is the control id, as on Windows.
WIN_STANDIN_API HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
}
