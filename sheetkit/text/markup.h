// Text put into markup that people read: HTML and SVG pages, LaTeX tables,
// aligned text. Shared by the pictures and the tables, so that neither
// borrows from the other.
#ifndef SHEETKIT_MARKUP_H_
#define SHEETKIT_MARKUP_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace sheetkit {

/// Text made safe for XML: invalid UTF-8, control characters and the
/// non-characters U+FFFE / U+FFFF become U+FFFD. File names are arbitrary
/// bytes, but an XML file with them would not load.
std::string clean_utf8(std::string_view s);

/// clean_utf8, then the five XML special characters as entities; for SVG and
/// HTML alike.
std::string xml_escape(std::string_view s);

/// LaTeX's special characters in `text` escaped: \_ \& \% \$ \# \{ \}
/// \textasciitilde{} \textasciicircum{} \textbackslash{}.
std::string latex_escape(std::string_view text);

/// A heading of several words on two lines, broken where the longer line
/// is shortest, in a cell aligned as `align` ('r', 'c' or 'l'), escaped; a
/// heading of one word as it is. Headings, not the figures, make a narrow
/// table wide.
std::string latex_two_lines(std::string_view heading, char align);

/// Code points in UTF-8 text: its width in a terminal's columns, for the
/// scripts that take one column a character.
std::size_t code_points(std::string_view s);

}  // namespace sheetkit

#endif  // SHEETKIT_MARKUP_H_
