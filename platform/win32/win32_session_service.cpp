#include "platform/win32/win32_session_service.h"

#include <windows.h>
#include <winstring.h>

#include <iterator>

#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_program_folder.h"
#include "platform/win32/win32_failure.h"

namespace {

// The statics of Windows.Graphics.Printing.ProtectedPrint.WindowsProtectedPrintInfo, which no
// header of this tool chain declares: IInspectable's six entries, then the one property. The IID
// is the interface's, from the Windows metadata.
struct IProtectedPrintInfoStatics {
    struct VTable {
        HRESULT(STDMETHODCALLTYPE* QueryInterface)(IProtectedPrintInfoStatics*, REFIID, void**);
        ULONG(STDMETHODCALLTYPE* AddRef)(IProtectedPrintInfoStatics*);
        ULONG(STDMETHODCALLTYPE* Release)(IProtectedPrintInfoStatics*);
        HRESULT(STDMETHODCALLTYPE* GetIids)(IProtectedPrintInfoStatics*, ULONG*, IID**);
        HRESULT(STDMETHODCALLTYPE* GetRuntimeClassName)(IProtectedPrintInfoStatics*, HSTRING*);
        HRESULT(STDMETHODCALLTYPE* GetTrustLevel)(IProtectedPrintInfoStatics*, int*);
        HRESULT(STDMETHODCALLTYPE* get_IsProtectedPrintEnabled)
        (IProtectedPrintInfoStatics*, boolean*);
    };
    const VTable* vtable;
};

constexpr IID kProtectedPrintInfoStatics = {
    0xa7d212f3, 0x4168, 0x5485, {0x98, 0xab, 0xd8, 0x9d, 0x04, 0x60, 0x3b, 0x40}};
constexpr wchar_t kProtectedPrintInfo[] =
    L"Windows.Graphics.Printing.ProtectedPrint.WindowsProtectedPrintInfo";

// The Windows Runtime functions, from combase.dll in the system folder, found at run time: the
// program must start on systems and in Wine versions that lack them.
struct CRuntime {
    using RoGetActivationFactoryFn = HRESULT(WINAPI*)(HSTRING, REFIID, void**);
    using WindowsCreateStringFn = HRESULT(WINAPI*)(PCNZWCH, UINT32, HSTRING*);
    using WindowsDeleteStringFn = HRESULT(WINAPI*)(HSTRING);

    explicit CRuntime(HMODULE module)
        : getFactory(reinterpret_cast<RoGetActivationFactoryFn>(
              reinterpret_cast<void*>(GetProcAddress(module, "RoGetActivationFactory")))),
          createString(reinterpret_cast<WindowsCreateStringFn>(
              reinterpret_cast<void*>(GetProcAddress(module, "WindowsCreateString")))),
          deleteString(reinterpret_cast<WindowsDeleteStringFn>(
              reinterpret_cast<void*>(GetProcAddress(module, "WindowsDeleteString")))) {}
    bool Complete() const { return getFactory && createString && deleteString; }

    RoGetActivationFactoryFn getFactory;
    WindowsCreateStringFn createString;
    WindowsDeleteStringFn deleteString;
};

}  // namespace

bool CWin32SessionService::IsProtectedPrintOn() {
    const UniqueModule module(
        LoadLibraryExW(L"combase.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (!module)
        return false;
    const CRuntime runtime(module.get());
    HSTRING name = nullptr;
    if (!runtime.Complete() ||
        FAILED(runtime.createString(
            kProtectedPrintInfo, static_cast<UINT32>(std::size(kProtectedPrintInfo) - 1), &name)))
        return false;
    // Activation factories need the thread in the Windows Runtime; one that already is, in
    // whichever apartment, answers S_FALSE or RPC_E_CHANGED_MODE and is left as it was.
    const HRESULT initialised = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IProtectedPrintInfoStatics* statics = nullptr;
    boolean enabled = 0;
    // A class that is not registered (REGDB_E_CLASSNOTREG) is a system without the mode.
    if (SUCCEEDED(runtime.getFactory(name, kProtectedPrintInfoStatics,
                                     reinterpret_cast<void**>(&statics)))) {
        if (FAILED(statics->vtable->get_IsProtectedPrintEnabled(statics, &enabled)))
            enabled = 0;
        statics->vtable->Release(statics);
    }
    if (SUCCEEDED(initialised))
        CoUninitialize();
    runtime.deleteString(name);
    return enabled != 0;
}

std::wstring CWin32SessionService::AccountName() {
    CTrustedAccounts accounts;
    return accounts.Load() ? accounts.UserSid() : std::wstring();
}

bool CWin32SessionService::IsElevated() {
    // A token that cannot be read counts as not elevated: the caller then refuses to start
    // rather than failing half way through a change of the spooler.
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) {
        RecordWin32Failure(L"OpenProcessToken", GetLastError());
        return false;
    }
    const UniqueHandle token(raw);
    // Under UAC an administrator's program is elevated only when started "as administrator";
    // the system account's always is. Wine 8 answers elevated for every process, of the full
    // elevation type (measured).
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof(elevation), &size)) {
        RecordWin32Failure(L"GetTokenInformation", GetLastError());
        return false;
    }
    return elevation.TokenIsElevated != 0;
}
