// The addresses the Help menu opens, and the About box's text. The
// addresses are a build-time setting (the CMake cache values
// VEXMOOR_HOMEPAGE_URL, VEXMOOR_FORUM_URL, VEXMOOR_CONTACT_ADDRESS,
// VEXMOOR_IRC_NETWORK, VEXMOOR_IRC_CHANNEL and VEXMOOR_IRC_URL); an entry
// whose address is empty is hidden.
#pragma once

#ifndef VEXMOOR_HOMEPAGE_URL
#define VEXMOOR_HOMEPAGE_URL ""
#endif
#ifndef VEXMOOR_FORUM_URL
#define VEXMOOR_FORUM_URL ""
#endif
#ifndef VEXMOOR_CONTACT_ADDRESS
#define VEXMOOR_CONTACT_ADDRESS ""
#endif
#ifndef VEXMOOR_IRC_NETWORK
#define VEXMOOR_IRC_NETWORK ""
#endif
#ifndef VEXMOOR_IRC_CHANNEL
#define VEXMOOR_IRC_CHANNEL ""
#endif
#ifndef VEXMOOR_IRC_URL
#define VEXMOOR_IRC_URL ""
#endif

namespace vexmoor::shell {

inline constexpr const char* kHomepageUrl = VEXMOOR_HOMEPAGE_URL;
inline constexpr const char* kForumUrl = VEXMOOR_FORUM_URL;
inline constexpr const char* kContactAddress = VEXMOOR_CONTACT_ADDRESS;
inline constexpr const char* kIrcNetwork = VEXMOOR_IRC_NETWORK;
inline constexpr const char* kIrcChannel = VEXMOOR_IRC_CHANNEL;
inline constexpr const char* kIrcUrl = VEXMOOR_IRC_URL;

// The Help entries and the address each needs: hidden while it is empty.
struct THelpEntry {
  const char* MenuName;
  const char* Address;
};
inline constexpr THelpEntry kHelpEntries[] = {
    {"HomepageItem", kHomepageUrl},
    {"ForumItem", kForumUrl},
    {"IrcMenu", kIrcUrl},
    {"EmailItem", kContactAddress},
};

inline constexpr const char* kAboutCaption = "About Vexmoor - The Quen Team";
// The version line ("Version 0.642") goes after the first line.
inline constexpr const char* kAboutTitle = "Vexmoor - Fast Rom Checklist";
inline constexpr const char* kAboutCredits =
    "Written by the Vexmoor developers.\n"
    "Dats made and kept up to date by the Quen Team.\n"
    "\n"
    "Copyleft: share it, change it, pass it on.";

}  // namespace vexmoor::shell
