#include <sheetgen/parameters.h>

#include <limits>
#include <system_error>

#include "exact_float.h"

namespace sheetgen {

namespace {

// Smallest integer not below p: the ceiling for positive products.
int32_t lower_area(double p) {
  const auto v = static_cast<int32_t>(p);
  return static_cast<double>(v) != p ? v + 1 : v;
}

const char* const maxmod = "Please recompile code with larger MAXMOD value!\n";

}  // namespace

void derive_area_bounds(run_parameters& p) {
  const float area = static_cast<float>(p.object.area);
  const float lo = area * p.minrelsize;
  const float hi = area * p.maxrelsize;
  p.minarea = lower_area(static_cast<double>(lo));
  p.maxarea = static_cast<int32_t>(static_cast<double>(hi));
}

void check_instances(int32_t no_instances) {
  if (no_instances > MAXMOD) throw error(maxmod);
}

void check_object(int32_t length, int32_t width) {
  const int64_t area = int64_t{length} * width;
  if (length <= 0 || width <= 0 || area > std::numeric_limits<int32_t>::max()) {
    throw error(
        "The large object's length and width must be positive and their product must not exceed "
        "2147483647!");
  }
}

void check_items(int32_t no_items) {
  if (no_items > MAXMOD) throw error(maxmod);
}

void check_relsize(float relsize) {
  if (!(relsize > 0.0f && relsize < 1.0f)) throw error("Value must lie between 0 and 1!");
}

void check_bounds(float minrelsize, float maxrelsize) {
  if (minrelsize > maxrelsize) {
    throw error("The upper bound for the relative size must not be smaller than the lower bound!");
  }
}

void check_defect_count(int32_t no_defects) {
  if (no_defects > MAXDEF) throw error("Please recompile code with larger MAXDEF value!\n");
}

void check_defect(const rectangle& d, const rectangle& object) {
  if (d.length <= 0 || d.width <= 0) throw error("Values must be greater than 0!");
  if (d.length > object.length || d.width > object.width) {
    throw error("This defect does not fit onto the large object!");
  }
}

void check_file_name(const std::string& name) {
  if (name.empty()) throw error("Missing file name!");
  if (name.size() > MAXNAME) throw error("File name too long (at most 79 characters)!");
}

namespace {

// Absolute first: weakly_canonical leaves a relative path relative when
// its first component does not exist ("x.txt") but not otherwise
// ("./x.txt"), so two names of one file would differ.
std::filesystem::path resolved(const std::filesystem::path& p, std::error_code& ec) {
  const std::filesystem::path whole = std::filesystem::absolute(p, ec);
  if (ec) return {};
  return std::filesystem::weakly_canonical(whole, ec);
}

}  // namespace

bool same_file(const std::filesystem::path& folder, const std::string& a, const std::string& b) {
  const std::filesystem::path pa = folder / a;
  const std::filesystem::path pb = folder / b;
  std::error_code ea;
  std::error_code eb;
  const auto ca = resolved(pa, ea);
  const auto cb = resolved(pb, eb);
  if (ea || eb) {
    // Unresolvable (a loop of links, say): compare the names as written.
    if (pa.lexically_normal() == pb.lexically_normal()) return true;
  } else if (ca == cb) {
    return true;
  }
  std::error_code ee;
  return std::filesystem::equivalent(pa, pb, ee) && !ee;
}

void check_parameters(run_parameters& p) {
  check_instances(p.no_instances);
  check_object(p.object.length, p.object.width);
  p.object.area = p.object.length * p.object.width;
  check_items(p.no_items);
  check_relsize(p.minrelsize);
  check_relsize(p.maxrelsize);
  check_bounds(p.minrelsize, p.maxrelsize);
  derive_area_bounds(p);
  check_defect_count(p.no_defects);
  for (int32_t k = 0; k < p.no_defects; ++k) {
    rectangle& d = p.defects[k];
    check_defect(d, p.object);
    d.area = d.length * d.width;  // fits: no larger than the object's area
  }
}

}  // namespace sheetgen
