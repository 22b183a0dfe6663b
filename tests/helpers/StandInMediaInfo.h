#pragma once

// What the tests' stand-ins for the metadata library have in common: a handle
// that holds the General Format its MediaInfo_Open wrote, and the entry points
// that read it. Each stand-in defines MediaInfo_Open (and whatever else it
// needs) itself; include this in exactly one file of a stand-in.

#include <cstddef>
#include <cwchar>
#include <string>

namespace {

struct Handle {
    std::wstring format;
};

}  // namespace

extern "C" {

void* MediaInfo_New() {
    return new Handle;
}

void MediaInfo_Delete(void* handle) {
    delete static_cast<Handle*>(handle);
}

void MediaInfo_Close(void*) {}

const wchar_t* MediaInfo_Get(void* handle, int streamKind, std::size_t streamNumber,
                             const wchar_t* parameter, int, int) {
    const Handle* const h = static_cast<Handle*>(handle);
    if (streamKind == 0 && streamNumber == 0 && std::wcscmp(parameter, L"Format") == 0) {
        return h->format.c_str();
    }
    return L"";
}
}
