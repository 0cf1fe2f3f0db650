// Windows-shaped scalar types and result codes that the module and the host share.
#pragma once

#include <cstdint>

using HRESULT = std::int32_t;
using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using UINT = unsigned int;
using WCHAR = wchar_t;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using LPVOID = void*;
using VARTYPE = std::uint16_t;
using VARIANT_BOOL = std::int16_t;

// A loaded module's instance handle is its dlopen handle.
using HINSTANCE = void*;
using HMODULE = HINSTANCE;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

constexpr HRESULT hresultFromBits(std::uint32_t bits) {
    return static_cast<HRESULT>(bits);
}

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = hresultFromBits(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = hresultFromBits(0x80004002u);
inline constexpr HRESULT E_POINTER = hresultFromBits(0x80004003u);
inline constexpr HRESULT E_ABORT = hresultFromBits(0x80004004u);
inline constexpr HRESULT E_FAIL = hresultFromBits(0x80004005u);
inline constexpr HRESULT E_UNEXPECTED = hresultFromBits(0x8000FFFFu);
inline constexpr HRESULT E_ACCESSDENIED = hresultFromBits(0x80070005u);
inline constexpr HRESULT E_OUTOFMEMORY = hresultFromBits(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = hresultFromBits(0x80070057u);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = hresultFromBits(0x80040110u);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = hresultFromBits(0x80040111u);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = hresultFromBits(0x80040154u);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = hresultFromBits(0x80020005u);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = hresultFromBits(0x80020003u);

constexpr bool SUCCEEDED(HRESULT hr) {
    return hr >= 0;
}
constexpr bool FAILED(HRESULT hr) {
    return hr < 0;
}

inline constexpr DWORD DLL_PROCESS_DETACH = 0;
inline constexpr DWORD DLL_PROCESS_ATTACH = 1;
inline constexpr DWORD DLL_THREAD_ATTACH = 2;
inline constexpr DWORD DLL_THREAD_DETACH = 3;

inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;

// The length of the path buffers Windows programs keep, terminator included.
inline constexpr int MAX_PATH = 260;

#define SDK_API __attribute__((visibility("default")))
