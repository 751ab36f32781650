/// \file
/// sheetgen's version, held here alone: CMake reads the project's version
/// from these three lines, and the programs print it.
#ifndef SHEETGEN_VERSION_H_
#define SHEETGEN_VERSION_H_

#define SHEETGEN_VERSION_MAJOR 1  ///< the package's major version
#define SHEETGEN_VERSION_MINOR 0  ///< the package's minor version
#define SHEETGEN_VERSION_PATCH 0  ///< the package's patch version

/// Turns a macro's value into a string literal; internal.
#define SHEETGEN_VERSION_TEXT_(x) #x
/// The same, after expanding `x`; internal.
#define SHEETGEN_VERSION_TEXT(x) SHEETGEN_VERSION_TEXT_(x)

namespace sheetgen {

/// "MAJOR.MINOR.PATCH", the version find_package(sheetgen) compares.
inline constexpr const char* version =
    SHEETGEN_VERSION_TEXT(SHEETGEN_VERSION_MAJOR) "." SHEETGEN_VERSION_TEXT(
        SHEETGEN_VERSION_MINOR) "." SHEETGEN_VERSION_TEXT(SHEETGEN_VERSION_PATCH);

}  // namespace sheetgen

#endif  // SHEETGEN_VERSION_H_
