// Text and file helpers shared by the model readers and writers.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tricut {

/// Walks a text buffer line by line (LF or CRLF), counting lines from 1.
class LineReader {
 public:
  explicit LineReader(std::string_view data) : m_data(data) {}
  /// The next line without its end-of-line characters; false at the end.
  bool Next(std::string_view& line);
  /// Number of the line last returned (0 before the first).
  long LineNo() const { return m_line; }
  /// Byte offset just after the line last returned (binary PLY bodies).
  std::size_t Offset() const { return m_pos; }

 private:
  std::string_view m_data;
  std::size_t m_pos = 0;
  long m_line = 0;
};

/// Whitespace-separated tokens of a line.
std::vector<std::string_view> Tokens(std::string_view line);
/// The line without leading and trailing whitespace.
std::string_view Trim(std::string_view s);
bool StartsWith(std::string_view s, std::string_view prefix);
std::string Lower(std::string_view s);

/// Whole-token number parsing (C locale). ParseDouble accepts "inf" and
/// "nan" so that callers can report them as not finite.
bool ParseDouble(std::string_view tok, double& value);
bool ParseLong(std::string_view tok, long& value);
/// True when v is finite and within single precision, so that colours,
/// normals and texture coordinates stored as float keep it.
bool FitsFloat(double v);

/// Shortest text that reads back to exactly the same double.
std::string Fmt(double v);
std::string Fmt(float v);

/// A name usable as one token (OBJ groups, STL solids): whitespace
/// becomes '_'; an empty name becomes fallback.
std::string TokenName(const std::string& name, const std::string& fallback);

/// Reads a whole file; throws ToolError when it cannot be read.
std::string ReadFileBytes(const std::string& path);
/// Writes data to a temporary file next to path and renames it into place,
/// so that a failure never leaves a half-written file; throws ToolError.
void WriteFileAtomic(const std::string& path, const std::string& data);

/// Lower-case extension of a path without the dot ("" when none).
std::string Extension(const std::string& path);
/// File name without folder and extension.
std::string Stem(const std::string& path);
/// Folder part of a path ("" when none).
std::string Folder(const std::string& path);

}  // namespace tricut
