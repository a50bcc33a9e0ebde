// The full-width characters of the table that stand for ASCII: what
// --fullwidth writes for the ASCII of a translation, and what a refusal of
// a character the table lacks suggests instead. The counterparts:
//
//   A-Z a-z 0-9                   Ａ-Ｚ ａ-ｚ ０-９
//   space                         the ideographic space U+3000
//   ! % ( ) * + , . / : = ? [ ] _ ~   their full-width forms
//   " and '                       ” and ’, closing quotes: where the table
//                                 has them, at the codes of " and ' (type
//                                 “ and ‘ for opening ones)
//
// '-' is a character of the table itself; # $ & ; < > @ \ ^ ` { | } have
// no counterpart.
#pragma once

#include <string>
#include <string_view>

namespace ambergale {

// The Shift-JIS counterpart of the ASCII character `c`; empty when it has none.
std::string_view fullwidth_counterpart(char c);

// What a refusal of `character` (Shift-JIS), which the table lacks, says
// may be written instead: "write 'Ａ' (U+FF21), or use --fullwidth" for an
// ASCII character with a counterpart; for a full-width form of ASCII the
// table holds otherwise ('－' U+FF0D, '＂' U+FF02), the table's character
// ("write '-' (U+002D)"). Empty when there is nothing to suggest.
std::string written_instead(std::string_view character);

}  // namespace ambergale
