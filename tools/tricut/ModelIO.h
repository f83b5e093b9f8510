// Reading and writing model files: OBJ, PLY, STL, OFF and GOCAD TSurf.
//
// Coordinates are doubles from file to file: the text formats are written
// with the shortest decimal that reads back to the same double, binary PLY
// with double properties. Binary STL is single precision by definition.
//
// Every reader throws ToolError with "file:line: what is wrong" for a
// malformed line, a coordinate that is not finite or an index out of range;
// binary files report the element number instead of a line. Readers do not
// reject empty models (the commands decide); writers never leave a
// half-written file (temporary file, then rename).
//
// What each format keeps:
// - OBJ: parts (o/g), materials (usemtl, colours through a .mtl file next
//   to the model), per-vertex colours (v x y z r g b), texture stage 0 (vt),
//   normals (vn).
// - PLY (ASCII, binary little- and big-endian): colours, normals, texture
//   coordinates; parts through a per-face "surface" property with their
//   names and materials in header comments.
// - STL (ASCII, binary): positions only; ASCII keeps one "solid" block per
//   part. Points repeated by the format are welded exactly on reading.
// - OFF (also COFF, NOFF, CNOFF): positions, colours, normals; one part.
// - TSurf: one part per TFACE, the object name and its solid colour;
//   ZPOSITIVE Depth files have z negated on reading.
#pragma once

#include <string>

#include "Model.h"

namespace tricut {

enum class Format { Obj, Ply, Stl, Off, Tsurf };

/// How the binary-capable formats are written. Default: PLY binary
/// little-endian (doubles), STL ASCII (binary STL would round coordinates
/// to single precision).
enum class Encoding { Default, Ascii, Binary };

/// The format of a path by its extension (.obj .ply .stl .off .ts);
/// throws ToolError for any other.
Format FormatOfPath(const std::string& path);
const char* FormatName(Format f);

/// Reads a model file (an OBJ's mtllib is read too when it exists). The
/// model is named after the file's stem unless the file names it.
Model ReadModel(const std::string& path);
/// Writes a model file atomically; an OBJ also gets its .mtl next to it.
void WriteModel(const std::string& path, const Model& m, Encoding enc = Encoding::Default);

/// In-memory forms (the tests use them). name is the file name used in
/// messages.
Model ReadModelData(Format f, const std::string& data, const std::string& name);
std::string WriteModelData(Format f, const Model& m, Encoding enc = Encoding::Default);

// Per-format entry points.
Model ReadObj(const std::string& data, const std::string& name);
/// mtlFile: the mtllib line to write ("" for none).
std::string WriteObj(const Model& m, const std::string& mtlFile);
/// The .mtl text for the model's materials (Kd from the part colour or a
/// fixed palette).
std::string WriteMtl(const Model& m);
/// Gives every part whose material the .mtl text defines that colour.
void ApplyMtl(Model& m, const std::string& mtlData, const std::string& name);
Model ReadPly(const std::string& data, const std::string& name);
std::string WritePly(const Model& m, bool binary);
Model ReadStl(const std::string& data, const std::string& name);
std::string WriteStl(const Model& m, bool binary);
Model ReadOff(const std::string& data, const std::string& name);
std::string WriteOff(const Model& m);
Model ReadTsurf(const std::string& data, const std::string& name);
std::string WriteTsurf(const Model& m);

/// A fixed palette of distinct, readable colours (index taken modulo its
/// size).
KRO::COLOR4 PaletteColour(std::size_t i);

}  // namespace tricut
