#pragma once
// A readable listing of any byte string taken as a compiled image: header, type table, routine
// table, variables, and each script routine's code one instruction per line. Malformed input
// is listed up to the point where decoding stops, followed by a line saying where and why.
//
// Listing format (one item per line, two-space indents, stable for golden tests):
//   image N bytes                      [debug output N bytes]
//   header / types / routines / variables sections, entries numbered T<n>, R<n>, G<n>
//   code R<n> NAME                     then "  <position> <opcode> <operands>"
// Operands: G<n> global, L<n> local (L0 is the return-address slot), P<n> the n-th slot below
// it (a function's Result, then the parameters), each with "(name)" when the debug output
// names it; [i] and [var] for indexed operands; T<n>:tcX(value) for constants; @<position>
// for jump and handler targets (absolute in the routine's code); R<n>(NAME) for routines.
// Problems: "! stopped at byte <offset>: <error code>: <reason>" for the tables,
// "  ! stopped at <position>: <error code>: <reason>" inside code; error codes are those the
// loader or the virtual machine would report.

#include <string>
#include <string_view>

namespace dravik::engine::image {

// debugOutput (the compiler's debug records) may be empty; it only adds names and statement
// positions ("  ; line:column" before the statement's first instruction).
std::string Disassemble(std::string_view image, std::string_view debugOutput = {});

}  // namespace dravik::engine::image
