#pragma once

// The location texts that the error report names, one per reporting procedure.
namespace quorvid::location {

inline constexpr auto kFormLoad = "in Quorvidex2021/08/31.Form1.Form_Load ";
inline constexpr auto kPushButton1 = "in Quorvidex2021/08/31.Form1.PushButton1_Click ";
inline constexpr auto kPushButton2 = "in Quorvidex2021/08/31.Form1.PushButton2_Click ";
inline constexpr auto kPushButton3 = "in Quorvidex2021/08/31.Form1.PushButton3_Click ";
inline constexpr auto kPushButton4 = "in Quorvidex2021/08/31.Form1.PushButton4_Click ";
inline constexpr auto kPushButton5 = "in Quorvidex2021/08/31.Form1.PushButton5_Click ";
inline constexpr auto kPushButton6 = "in Quorvidex2021/08/31.Form1.PushButton6_Click ";
inline constexpr auto kPushButton7 = "in Quorvidex2021/08/31.Form1.PushButton7_Click ";
inline constexpr auto kPushButton8 = "in Quorvidex2021/08/31.Form1.PushButton8_Click ";
inline constexpr auto kPushButton9 = "in Quorvidex2021/08/31.Form1.PushButton9_Click ";
inline constexpr auto kPushButton10 = "in Quorvidex2021/08/31.Form1.PushButton10_Click ";
inline constexpr auto kPushButton11 = "in Quorvidex2021/08/31.Form1.PushButton11_Click ";
inline constexpr auto kPushButton12 = "in Quorvidex2021/08/31.Form1.PushButton12_Click ";
inline constexpr auto kSaveListviewProperlySpaced =
    "in Quorvidex2021/08/31.Main.SaveListviewProperlySpaced ";
inline constexpr auto kGetSubDirectories2016 =
    "in Pellomir2021/08/31.AddFolder.GetSubDirectories2016 ";

}  // namespace quorvid::location
