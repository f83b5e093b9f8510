// The two-model commands: cut, curtain, boolean, split6.
#include "Cli.h"
#include "Errors.h"

namespace tricut {

int CmdCut(ArgList&) {
  throw ToolError("cut: not built yet");
}
int CmdCurtain(ArgList&) {
  throw ToolError("curtain: not built yet");
}
int CmdBoolean(ArgList&) {
  throw ToolError("boolean: not built yet");
}
int CmdSplit6(ArgList&) {
  throw ToolError("split6: not built yet");
}
int CmdDemo(ArgList&) {
  throw ToolError("demo: not built yet");
}

}  // namespace tricut
