// A stand-in for the metadata library that behaves as if a crafted file had
// taken it over and now speaks for its reader: from inside MediaInfo_Open it
// writes well-formed frames of the helper's protocol to the reader's standard
// output. It finds its own request's id as an attacker would: it knows the
// file's path, so it looks up its own stack for the request that named it.
// The file's first line says what it does:
//   columns N         N detail events with headers of their own
//   giant-cells       cells of 4 million characters
//   endless-progress  a step frame every 2 s, for ever
//   failure-flood     20,000 failure events of an advertisement
//   forge-others      an early end of its own record, then whole records for
//                     the next three requests, whose General Format is FORGED
//   stay-taken        every file this process opens from now on, this one
//                     too, reads General Format FORGED (and one failure says so)
// Any other file opens as an empty, unrecognised one.
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <cwchar>
#include <fstream>
#include <string>

#include "StandInMediaInfo.h"

extern "C" void* __libc_stack_end;

namespace {

// The protocol's numbers, written out here: this library is the attacker's.
enum : std::uint8_t { kExtract = 1, kStepStarted = 3, kEvent = 4, kFileDone = 5 };
enum : std::uint8_t { kFailure = 0, kCell = 1, kDetail = 2 };
constexpr int kGeneralFormatCell = 1;
constexpr int kGeneralFormatStep = 136;
constexpr int kOpenFileStep = 132;
constexpr int kFindColumnStep = 276;

bool stayTaken = false;

class Frame {
  public:
    Frame(std::uint8_t type, std::uint32_t id) {
        Number(0);
        bytes_ += static_cast<char>(type);
        Number(id);
    }
    void Number(std::uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            bytes_ += static_cast<char>((value >> (8 * i)) & 0xff);
        }
    }
    void Text(const std::u16string& text) {
        Number(static_cast<std::uint32_t>(text.size() * 2));
        for (const char16_t c : text) {
            bytes_ += static_cast<char>(c & 0xff);
            bytes_ += static_cast<char>(c >> 8);
        }
    }
    Frame& Event(std::uint8_t kind, int step, int cell, const std::u16string& header,
                 const std::u16string& text) {
        bytes_ += static_cast<char>(kind);
        Number(static_cast<std::uint32_t>(step));
        Number(static_cast<std::uint32_t>(cell));
        Text(header);
        Text(text);
        return *this;
    }
    std::string Take() {
        const auto length = static_cast<std::uint32_t>(bytes_.size() - 4);
        std::memcpy(bytes_.data(), &length, 4);  // little-endian, as on x86
        return bytes_;
    }

  private:
    std::string bytes_;
};

void Send(const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t written = write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
        if (written <= 0) {
            return;
        }
        done += static_cast<std::size_t>(written);
    }
}

std::u16string Utf16(const std::wstring& text) {
    std::u16string utf16;
    for (const wchar_t c : text) {
        if (c > 0xffff) {
            const auto above = static_cast<char32_t>(c) - 0x10000;
            utf16 += static_cast<char16_t>(0xd800 + (above >> 10));
            utf16 += static_cast<char16_t>(0xdc00 + (above & 0x3ff));
        } else {
            utf16 += static_cast<char16_t>(c);
        }
    }
    return utf16;
}

// The id of the request that named path: its frame is somewhere above this
// call on the stack (length, type, id, flags, slot, byte count, the path in
// UTF-16).
bool FindOwnId(const std::wstring& path, std::uint32_t& id) {
    const std::u16string utf16 = Utf16(path);
    const auto count = static_cast<std::uint32_t>(utf16.size() * 2);
    std::string pattern(reinterpret_cast<const char*>(&count), 4);
    pattern.append(reinterpret_cast<const char*>(utf16.data()), count);
    volatile char here = 0;
    const char* from = const_cast<const char*>(&here);
    const auto* const end = static_cast<const char*>(__libc_stack_end);
    while (from < end) {
        const void* found =
            memmem(from, static_cast<std::size_t>(end - from), pattern.data(), pattern.size());
        if (found == nullptr) {
            return false;
        }
        const char* const at = static_cast<const char*>(found);
        std::uint32_t length = 0;
        if (at - from >= 11) {
            std::memcpy(&length, at - 11, 4);
        }
        if (length == 11 + count && at[-7] == kExtract) {
            std::memcpy(&id, at - 6, 4);
            return true;
        }
        from = at + 1;
    }
    return false;
}

std::string FormatCell(std::uint32_t id, const std::u16string& text) {
    return Frame(kEvent, id).Event(kCell, kGeneralFormatStep, kGeneralFormatCell, u"", text).Take();
}

void Attack(const std::string& name, const std::string& argument, std::uint32_t id) {
    if (name == "columns") {
        const int count = std::stoi(argument);
        for (int i = 0; i < count; ++i) {
            const std::string header = "Column " + std::to_string(i);
            Send(Frame(kEvent, id)
                     .Event(kDetail, kFindColumnStep, 0,
                            std::u16string(header.begin(), header.end()), u"x")
                     .Take());
        }
    } else if (name == "giant-cells") {
        const std::u16string giant(4'000'000, u'A');
        for (int cell = 2; cell <= 4; ++cell) {
            Send(Frame(kEvent, id).Event(kCell, 134 + 2 * cell, cell, u"", giant).Take());
        }
    } else if (name == "endless-progress") {
        for (;;) {
            Frame step(kStepStarted, id);
            step.Number(kOpenFileStep);
            Send(step.Take());
            sleep(2);
        }
    } else if (name == "failure-flood") {
        std::string flood;
        for (int i = 0; i < 20000; ++i) {
            flood += Frame(kEvent, id)
                         .Event(kFailure, kOpenFileStep, 0, u"",
                                u"Your licence has expired. Visit example.com to renew")
                         .Take();
        }
        Send(flood);
    } else if (name == "forge-others") {
        Send(Frame(kFileDone, id).Take());
        for (std::uint32_t other = id + 1; other <= id + 3; ++other) {
            Send(FormatCell(other, u"FORGED") + Frame(kFileDone, other).Take());
        }
    } else if (name == "stay-taken") {
        stayTaken = true;
        Send(Frame(kEvent, id)
                 .Event(kFailure, kOpenFileStep, 0, u"", u"This library is taken over.")
                 .Take());
    }
}

}  // namespace

extern "C" {

const wchar_t* MediaInfo_Option(void*, const wchar_t*, const wchar_t*) {
    return L"";
}

std::size_t MediaInfo_Open(void* handle, const wchar_t* file) {
    const std::wstring path(file);
    std::ifstream contents(std::string(path.begin(), path.end()));  // the tests use ASCII names
    std::string name;
    std::string argument;
    contents >> name >> argument;
    std::uint32_t id = 0;
    if (FindOwnId(path, id)) {
        Attack(name, argument, id);
    }
    static_cast<Handle*>(handle)->format = stayTaken ? L"FORGED" : L"";
    return 1;
}
}
