// The one map of the cartridge: every region the tools read, with its bank,
// address, count and end, written here and nowhere else.
//
//   C4:B300  15 words: each the address (in C4) of a word-list group's list of
//            message pointers; the lists run back to back up to C4:C00A, and
//            each pointer is the address in FB of a message
//   FB:8000  the sequential block: messages back to back, no pointer table;
//            none starts at D07D or later
//   F8:0000  4096 words: the address of each event script in its group's bank
//   F8:20BA  the script tree header
//   F8:9808  3049 words: where each dictionary entry begins in F8; the last
//            entry ends at F8:FA6E
//   F8:AFDA, B2C2, B5C2, B84A  the four byte trees
//   C0:FFDC  the internal header's checksum complement and checksum, which no
//            dump reads
#pragma once

#include <array>

namespace ambergale::cartridge_map {

// A console address: bank and 16-bit address, written BB:AAAA.
struct RomAddress {
  int bank;
  int address;
};

// Each byte tree is read as 1024 bytes; it may use only the bytes before the
// table that follows it (a tree of N internal nodes uses 3N + 3).
inline constexpr RomAddress kTextLeadTree{0xF8, 0xAFDA};
inline constexpr RomAddress kTextLowTree{0xF8, 0xB2C2};
inline constexpr RomAddress kDictLeadTree{0xF8, 0xB5C2};
inline constexpr RomAddress kDictLowTree{0xF8, 0xB84A};
// The low trees are followed by nothing a walk can reach: no walk forms a
// byte index above 767.
inline constexpr int kLowTreeRoom = 768;
inline constexpr int kTextLeadTreeRoom = kTextLowTree.address - kTextLeadTree.address;
inline constexpr int kDictLeadTreeRoom = kDictLowTree.address - kDictLeadTree.address;

inline constexpr RomAddress kScriptTreeHeader{0xF8, 0x20BA};

// Word lists.
inline constexpr RomAddress kGroupPointers{0xC4, 0xB300};
inline constexpr int kGroupCount = 15;
inline constexpr int kGroupListsEnd = 0xC00A;  // where the last group's list ends
inline constexpr int kMessageBank = 0xFB;      // every word-list message, and the sequential block

// The sequential block.
inline constexpr int kSequentialStart = 0x8000;
inline constexpr int kSequentialEnd = 0xD07D;  // no message of the block starts here or later
inline constexpr int kSequentialWindow = 768;  // the input limit of one message of the block

// The dictionary: entry e is code 0x0410 + e.
inline constexpr RomAddress kDictionaryPointers{0xF8, 0x9808};
inline constexpr int kDictionaryEntries = 3049;
inline constexpr int kDictionaryEnd = 0xFA6E;  // where the last entry ends

// Event scripts: the pointer table, and four groups by index, each packed
// into its own bank up to a fixed end address.
inline constexpr RomAddress kScriptPointers{0xF8, 0x0000};
inline constexpr int kScriptCount = 4096;
struct ScriptGroup {
  int first;        // the first script index
  int count;
  int bank;
  int end_address;  // where the group's last script ends
};
inline constexpr std::array<ScriptGroup, 4> kScriptGroups = {{
    {0x000, 1536, 0xF9, 0xFAE0},
    {0x600, 1024, 0xFA, 0xFCA0},
    {0xA00, 512, 0xFB, 0x7CB5},
    {0xC00, 1024, 0xF8, 0x87AC},
}};

// The cartridge header's checksum: the 16-bit sum of every byte of the
// image, and its complement before it; the four bytes always add up to 0x1FE.
inline constexpr RomAddress kHeaderComplement{0xC0, 0xFFDC};
inline constexpr RomAddress kHeaderChecksum{0xC0, 0xFFDE};

// The banks the dumps read.
inline constexpr std::array<int, 5> kBanksRead = {kGroupPointers.bank, kScriptPointers.bank, kScriptGroups[0].bank,
                                                  kScriptGroups[1].bank, kMessageBank};

}  // namespace ambergale::cartridge_map
