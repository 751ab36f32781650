// The picture of one instance (instance_N.svg): the object to scale with
// its defects, numbered in file order where a number fits.
#ifndef SHEETKIT_INSTANCE_PICTURE_H_
#define SHEETKIT_INSTANCE_PICTURE_H_

#include <cstdint>
#include <ostream>
#include <string>

#include "files/instance.h"
#include "pictures/svg.h"

namespace sheetkit {

/// Writes the picture of `inst`, one of `instances` in `run`. Defects
/// overlap translucently; each names itself and its corners when pointed
/// at, and carries its number where the number fits inside it and meets no
/// other (in a crowd the first defects keep theirs). Throws sheetgen::error
/// when the object has no area to draw on.
void render_instance(std::ostream& out, const run_info& run, const instance& inst,
                     int64_t instances, const svg::form& how);
/// The same as a string.
std::string render_instance(const run_info& run, const instance& inst, int64_t instances,
                            const svg::form& how);

}  // namespace sheetkit

#endif  // SHEETKIT_INSTANCE_PICTURE_H_
