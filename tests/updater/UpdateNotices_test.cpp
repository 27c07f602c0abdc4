// What the update window says when the service cannot be asked.
#include "updater/UpdateNotices.h"

#include <gtest/gtest.h>

namespace vexmoor {
namespace {

constexpr const char* kBase = "http://updates.example.invalid:8080/update/";

// Out of the box the window said "can't resolve hostname to IP address."
// (no server, no setting) and "Connection refused (Error #111)".
TEST(UpdateNotices, NameTheServerThePlainReasonAndTheSetting) {
  const std::string unresolved =
      UpdateErrorText(kBase, "can't resolve hostname to IP address", "/home/u/.config/Vexmoor.conf");
  EXPECT_EQ(unresolved,
            "The update server \"updates.example.invalid:8080\" could not be asked for updates: its name "
            "could not be found (no such server, or this computer is offline).\nIts address is the "
            "setting UpdateURL (now \"http://updates.example.invalid:8080/update/\") in "
            "\"/home/u/.config/Vexmoor.conf\"; change it there to the address of an update service "
            "that works");
  const std::string refused = UpdateErrorText("http://127.0.0.1/update/",
                                              "can't connect: Connection refused (Error #111)", "s.conf");
  EXPECT_NE(refused.find("\"127.0.0.1\""), std::string::npos);
  EXPECT_NE(refused.find("it refused the connection"), std::string::npos);
  EXPECT_EQ(refused.find("Error #"), std::string::npos);
  // Anything else is passed on as the client said it.
  EXPECT_NE(UpdateErrorText(kBase, "Not Found", "s").find(": Not Found.\n"), std::string::npos);
  // A setting that is no URL at all is named as it is.
  EXPECT_NE(UpdateErrorText("ftp:// bad", "x", "s").find("\"ftp:// bad\" could not"), std::string::npos);
}

TEST(UpdateNotices, CheckingNamesTheServer) {
  EXPECT_EQ(UpdateCheckingText(kBase), "Checking for updates at updates.example.invalid:8080\xE2\x80\xA6");
}

TEST(UpdateNotices, ArrivedNamesTheSuccessfulDownloadsAndTheirFolder) {
  std::vector<TUpdateRecord> records(3);
  records[0].Name = "Quen NDS";
  records[1].Name = "Program";
  records[2].Name = "Quen GBA";
  TUpdateRunResult run;
  run.Items = {{0, "/opt/vm/Quen-NDS.qdat", ""}, {1, "/opt/vm/moorscan.new", "Not Found"},
               {2, "/opt/vm/Quen-GBA.qdat", ""}};
  EXPECT_EQ(UpdateArrivedText(records, run),
            "Updated: Quen NDS (Quen-NDS.qdat), Quen GBA (Quen-GBA.qdat) in /opt/vm/");
  run.Items.pop_back();
  run.Items.erase(run.Items.begin());
  EXPECT_EQ(UpdateArrivedText(records, run), "");
}

}  // namespace
}  // namespace vexmoor
