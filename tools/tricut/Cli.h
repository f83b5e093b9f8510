// Command-line front end: argument handling, the commands and the helpers
// they share.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Model.h"
#include "ModelIO.h"
#include "Render.h"

namespace tricut {

/// Runs the tool; returns the exit status (0 done, 1 internal failure,
/// 2 bad input or usage).
int Main(int argc, char** argv);

/// The arguments of one command. Options are taken out by name; what is
/// left must be positional (a token that reads as a number is positional,
/// so negative coordinates need no quoting).
class ArgList {
 public:
  explicit ArgList(std::vector<std::string> args) : m_args(std::move(args)) {}
  /// True (and removed) when the flag is present.
  bool Flag(const std::string& name, const std::string& alias = "");
  /// The value after the option (removed with it); throws ToolError when
  /// the option is last.
  std::optional<std::string> Value(const std::string& name, const std::string& alias = "");
  std::optional<double> Number(const std::string& name);
  /// The n values after the option (removed with it).
  std::optional<std::vector<std::string>> Values(const std::string& name, std::size_t n);
  /// What is left; throws ToolError for an unknown option.
  std::vector<std::string> Positionals() const;

 private:
  std::vector<std::string> m_args;
};

/// A model handed to the writers and the picture under a label.
struct Piece {
  std::string label;
  Model model;
};

/// Reads a model and refuses an empty one.
Model LoadModel(const std::string& path);
/// Throws unless the model is a closed solid; a solid whose faces point
/// inwards is flipped (with a note on stderr) so that cuts see it the
/// usual way round.
void RequireClosed(Model& m, const std::string& path);
bool IsClosed(const Model& m);
/// Number from a command-line token; throws ToolError naming what.
double ParseNumberArg(const std::string& tok, const std::string& what);

/// Creates the folder (and its parents) when missing.
void MakeFolder(const std::string& dir);
/// Writes each non-empty piece as DIR/<label>.<ext> (removing the file of
/// an empty piece left by an earlier run); returns the paths written.
std::vector<std::string> WritePieces(const std::string& dir, const std::vector<Piece>& pieces,
                                     Format format, Encoding enc);
/// Prints the piece table (surfaces, triangles, area, and volume for closed
/// pieces) to stdout.
void PrintPieceTable(const std::vector<Piece>& pieces);
/// Draws the pieces into a PNG (exploded when explode > 0).
void RenderPiecesToPng(const std::vector<Piece>& pieces, const std::string& path,
                       const std::string& title, double explode, const RenderOptions& base);
/// Output format and picture options shared by the cut commands.
struct OutputOptions {
  Format format = Format::Obj;
  Encoding encoding = Encoding::Default;
  std::string png;
  RenderOptions render;
};
OutputOptions TakeOutputOptions(ArgList& args);

// The commands; each takes the arguments after its name.
int CmdInfo(ArgList& args);
int CmdClean(ArgList& args);
int CmdVolume(ArgList& args);
int CmdInside(ArgList& args);
int CmdSide(ArgList& args);
int CmdRender(ArgList& args);
int CmdCut(ArgList& args);
int CmdCurtain(ArgList& args);
int CmdBoolean(ArgList& args);
int CmdSplit6(ArgList& args);
int CmdDemo(ArgList& args);

}  // namespace tricut
