/// \file
/// Bytes from a file as messages show them, so that a tab, a stray carriage
/// return or a byte of another encoding can be told from what it resembles.
#ifndef SHEETGEN_VISIBLE_BYTES_H_
#define SHEETGEN_VISIBLE_BYTES_H_

#include <string>
#include <string_view>

namespace sheetgen {

/// `text` with every byte that is not printable ASCII spelled out: "\t",
/// "\r", other bytes below 0x20 and from 0x7f as "\xHH" (lower-case hex),
/// a backslash as "\\", and `quote` (when not NUL) as a backslash and
/// itself. The file readers' messages quote lines this way, with '"'.
std::string visible_bytes(std::string_view text, char quote = '\0');

}  // namespace sheetgen

#endif  // SHEETGEN_VISIBLE_BYTES_H_
