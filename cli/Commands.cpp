#include "cli/Commands.h"

#include <cstdio>
#include <cstring>

namespace vexmoor::cli {

const std::vector<Command>& AllCommands() {
  static const std::vector<Command> commands = {
      {"crc", "FILE...", "print the CRC-32 of each file", RunCrc},
      {"audit",
       "DAT FOLDER [--no-cache] [--no-trimmed] [--rehash | --no-checksum-cache] [--verify] [--lists DIR] "
       "[--fixdat FILE] [--unmatched FILE] [--json] [--workers N]",
       "scan FOLDER against DAT and print every entry in list order: ID, CRC32, status, name, location",
       RunAudit},
      {"rebuild",
       "DAT FOLDER OUTPUT [--move | --link | --symlink] [--zip | --zip-store] [--pad-trimmed] "
       "[--subfolder region|letter] [--dry-run] [--json] [--verify]",
       "scan FOLDER against DAT and copy (move, link) every found dump into OUTPUT named as the "
       "dat names it, loose or one zip per release; never replaces a file",
       RunRebuild},
      {"ls", "ARCHIVE", "list the members of a zip, rar or 7z archive: CRC, packed size, size, name", RunLs},
      {"decode", "FILE", "print the dat text of a native dat (a container is deciphered and unpacked)",
       RunDecode},
      {"encode", "[--keep-timestamps] [--no-keys-file] DAT...",
       "encode each plain DAT into a .qdat beside it, in the order given (the encoder window "
       "orders them by name), stamping its INFO/TIMESTAMP unless --keep-timestamps; then "
       "write update_keys.txt beside the first DAT unless --no-keys-file",
       RunEncode},
      {"info", "DAT", "load a dat (*.dat Rom Center, *.qdat native) and print its header values",
       RunInfo},
      {"pack", "IN OUT", "compress IN into an AP32 block in OUT", RunPack},
      {"publish", "[--allow-missing] [--sign SECRET_KEY_FILE] KEYS_FILE",
       "print an update list (update2.cgi) built from an encoder keys file and the files beside "
       "it; with --sign (an unencrypted minisign secret key) write update2.cgi and its signature "
       "update2.cgi.minisig beside the keys file instead",
       RunPublish},
      {"unpack", "IN OUT", "decompress the AP32 block in IN into OUT", RunUnpack},
      {"update", "[--base-url URL] [--public-key FILE] [--dir DIR] [--check]",
       "fetch the update list, verify its signature against the built-in key and the minisign "
       "public key FILE, print the offered entries and, unless --check, download every "
       "offered dat into DIR (default: the current folder); the program's own entry is only "
       "listed. Exit 0 when every download succeeded, 1 when one failed, 2 when the list could "
       "not be fetched",
       RunUpdate},
  };
  return commands;
}

int UsageError(const Command& command) {
  std::fprintf(stderr, "usage: vexmoor %s %s\n", command.name, command.usage);
  return 2;
}

int UsageError(const char* name) {
  for (const Command& command : AllCommands()) {
    if (std::strcmp(command.name, name) == 0) return UsageError(command);
  }
  std::fprintf(stderr, "usage: vexmoor COMMAND [ARGS...] (see vexmoor --help)\n");
  return 2;
}

void ReportError(const std::string& message) {
  // A message may quote bytes of a garbage input: they must not steer the
  // terminal or split the line.
  std::fprintf(stderr, "vexmoor: %s\n", PrintableText(message).c_str());
}

std::string PrintableText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      out += c;
      continue;
    }
    char escape[5];
    std::snprintf(escape, sizeof escape, "\\x%02X", byte);
    out += escape;
  }
  return out;
}

}  // namespace vexmoor::cli
