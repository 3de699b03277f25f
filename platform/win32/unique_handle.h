#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

// A kernel object handle (event, thread, process, file) closed with CloseHandle when it goes.
// Null means none; a function that reports failure with INVALID_HANDLE_VALUE is to be checked
// before its result is put in here.
struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

// A search handle of FindFirstFileW, closed with FindClose. FindFirstFileW reports failure with
// INVALID_HANDLE_VALUE, which is to be checked before its result is put in here.
struct FindCloser {
    void operator()(HANDLE find) const { FindClose(find); }
};
using UniqueFind = std::unique_ptr<void, FindCloser>;

// Memory the system allocated for the caller with LocalAlloc (message texts, security
// descriptors, SDDL strings), freed with LocalFree.
struct LocalFreer {
    void operator()(void* memory) const { LocalFree(memory); }
};
template <typename T>
using UniqueLocal = std::unique_ptr<T, LocalFreer>;

// A DLL loaded with LoadLibraryExW, freed with FreeLibrary.
struct ModuleFreer {
    void operator()(HMODULE module) const { FreeLibrary(module); }
};
using UniqueModule = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleFreer>;

// An open registry key, closed with RegCloseKey.
struct KeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;
