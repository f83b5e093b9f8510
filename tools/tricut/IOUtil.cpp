#include "IOUtil.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>

#include "Errors.h"

namespace tricut {

bool FitsFloat(double v) {
  return std::fabs(v) <= std::numeric_limits<float>::max();
}

bool LineReader::Next(std::string_view& line) {
  if (m_pos >= m_data.size()) return false;
  std::size_t end = m_data.find('\n', m_pos);
  std::size_t next = end == std::string_view::npos ? m_data.size() : end + 1;
  if (end == std::string_view::npos) end = m_data.size();
  line = m_data.substr(m_pos, end - m_pos);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  m_pos = next;
  ++m_line;
  return true;
}

namespace {
bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}
}  // namespace

std::vector<std::string_view> Tokens(std::string_view line) {
  std::vector<std::string_view> out;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsSpace(line[i])) ++i;
    std::size_t j = i;
    while (j < line.size() && !IsSpace(line[j])) ++j;
    if (j > i) out.push_back(line.substr(i, j - i));
    i = j;
  }
  return out;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
  return s;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool ParseDouble(std::string_view tok, double& value) {
  if (tok.empty() || tok.size() > 400) return false;
  char buf[401];
  std::memcpy(buf, tok.data(), tok.size());
  buf[tok.size()] = '\0';
  char* end = nullptr;
  errno = 0;
  value = std::strtod(buf, &end);
  // Overflow gives +-HUGE_VAL, which the callers report as not finite.
  return end == buf + tok.size();
}

bool ParseLong(std::string_view tok, long& value) {
  if (!tok.empty() && tok.front() == '+') tok.remove_prefix(1);
  const char* first = tok.data();
  const char* last = tok.data() + tok.size();
  auto res = std::from_chars(first, last, value);
  return res.ec == std::errc() && res.ptr == last && !tok.empty();
}

std::string Fmt(double v) {
  // Shortest round-trip text; plain digits rather than an exponent for the
  // magnitudes models have (500000, not 5e+05).
  char buf[400];
  const double a = std::fabs(v);
  const bool fixed = a >= 1e-4 && a < 1e16;
  auto res = fixed ? std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed)
                   : std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, res.ptr);
}

std::string Fmt(float v) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, res.ptr);
}

std::string TokenName(const std::string& name, const std::string& fallback) {
  std::string out = name;
  for (char& c : out)
    if (IsSpace(c)) c = '_';
  return out.empty() ? fallback : out;
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ToolError(path + ": cannot open for reading (" + std::strerror(errno) + ")");
  std::ostringstream ss;
  ss << in.rdbuf();
  if (in.bad()) throw ToolError(path + ": read error");
  return ss.str();
}

void WriteFileAtomic(const std::string& path, const std::string& data) {
  std::string tmp = path + ".tmp-XXXXXX";
  std::vector<char> name(tmp.begin(), tmp.end());
  name.push_back('\0');
  const int fd = mkstemp(name.data());
  if (fd < 0) throw ToolError(path + ": cannot create (" + std::strerror(errno) + ")");
  const std::string tmpName(name.data());
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      const std::string why = std::strerror(errno);
      ::close(fd);
      std::remove(tmpName.c_str());
      throw ToolError(path + ": write failed (" + why + ")");
    }
    done += static_cast<std::size_t>(n);
  }
  // mkstemp creates the file 0600; an output model is an ordinary file.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  if (::close(fd) != 0 || std::rename(tmpName.c_str(), path.c_str()) != 0) {
    const std::string why = std::strerror(errno);
    std::remove(tmpName.c_str());
    throw ToolError(path + ": cannot write (" + why + ")");
  }
}

std::string Extension(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return Lower(path.substr(dot + 1));
}

std::string Stem(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::size_t dot = base.find_last_of('.');
  if (dot != std::string::npos && dot > 0) base.resize(dot);
  return base;
}

std::string Folder(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? "" : path.substr(0, slash);
}

}  // namespace tricut
