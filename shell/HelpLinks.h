// The addresses the Help menu opens, and the About box's text.
#pragma once

namespace vexmoor::shell {

inline constexpr const char* kHomepageUrl = "https://vexmoor.example.org/";
inline constexpr const char* kForumUrl = "https://vexmoor.example.org/forum/";
inline constexpr const char* kContactAddress = "team@vexmoor.example.org";
inline constexpr const char* kIrcNetwork = "irc.libera.chat";
inline constexpr const char* kIrcChannel = "#vexmoor";
inline constexpr const char* kIrcUrl = "irc://irc.libera.chat/vexmoor";

inline constexpr const char* kAboutCaption = "About Vexmoor - The Quen Team";
inline constexpr const char* kAboutText =
    "Vexmoor - Fast Rom Checklist\n"
    "Written by the Vexmoor developers.\n"
    "Dats made and kept up to date by the Quen Team.\n"
    "\n"
    "Copyleft: share it, change it, pass it on.";

}  // namespace vexmoor::shell
