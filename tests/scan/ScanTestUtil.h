// A catalogue, a folder of dumps and a scan engine wired to recording
// callbacks, for the scan and report tests.
#pragma once

#include <atomic>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/RomList.h"
#include "scan/AuditState.h"
#include "scan/BadDump.h"
#include "scan/CRC32.h"
#include "scan/ScanEngine.h"
#include "support/TempDir.h"

namespace vexmoor::test {

// `size` bytes of a dump that carries `seed` and nothing else of note.
inline std::string Dump(const std::string& seed, size_t size = 0x8400) {
  std::string data;
  while (data.size() < size) data += seed + '\n';
  data.resize(size);
  return data;
}

// The same dump with the SMT v1.0 bad-dump block at 0x7E00.
inline std::string BadDump(const std::string& seed) {
  std::string data = Dump(seed);
  std::string block(kSmtBadDump.begin(), kSmtBadDump.end());
  block.resize(kSmtBadDumpBlock, '\0');
  data.replace(kSmtBadDumpOffset, block.size(), block);
  return data;
}

inline uint32_t CrcOf(const std::string& data) { return Crc32(data.data(), data.size()); }

inline TRomItem& AddEntry(TAuditState& state, const std::string& index, const std::string& name,
                          uint32_t crc, int32_t status = StatusMissing) {
  TRomItem& item = state.Catalogue.Append();
  item.Index = index;
  item.Name = name;
  item.Crc = crc;
  item.Status = status;
  if (status == StatusCached) item.StatusText = "Cached";
  return item;
}

// A catalogue and the list that shows it, for tests that fill the list
// under a dat header of their own.
struct TListedCatalogue {
  void Fill(std::vector<std::string_view> header) {
    state_.DatHeader.Rebuild(header);
    list_.Fill(state_.Catalogue, state_.DatHeader, sort_);
  }
  TAuditState state_;
  TRomList list_;
  TSortState sort_;
};

class ScanTest : public TempDirTest {
 protected:
  ScanTest() {
    state_.DatMask = "*.nds";
    state_.CacheResults = false;
  }

  TScanCallbacks Recording() {
    TScanCallbacks callbacks;
    callbacks.SetPanelText = [this](int panel, const std::string& text) {
      panels_[panel] = text;
      if (panel == 2) shown_.push_back(text);
    };
    callbacks.ProcessMessages = [this] {
      ++pumps_;
      if (onPump_) onPump_();
    };
    return callbacks;
  }

  TScanOutcome Scan(const std::string& folder) {
    TScanEngine engine(state_, list_, sort_, cancel_, Recording());
    return engine.Run(folder);
  }

  std::string Root() const { return dir_.Path() + "/"; }

  TAuditState state_;
  TRomList list_;
  TSortState sort_;
  std::atomic<bool> cancel_{false};
  std::string panels_[3];
  std::vector<std::string> shown_;  // every text of panel 2, in order
  int pumps_ = 0;
  std::function<void()> onPump_;
};

}  // namespace vexmoor::test
