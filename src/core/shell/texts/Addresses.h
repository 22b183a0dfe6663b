#pragma once

// Every outside address the program names lives here.
namespace quorvid::address {

inline constexpr auto kHomePage = "https://www.tallowin.example/quorvid/";
inline constexpr auto kContactPage = "https://www.tallowin.example/contact/";
inline constexpr auto kSupportEmail = "support@tallowin.example";
inline constexpr auto kLibraryTagList = "https://mediaarea.net/en/MediaInfo/Support/Tags";

}  // namespace quorvid::address
